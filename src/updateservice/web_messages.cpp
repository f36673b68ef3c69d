#include "updateservice/web_messages.h"

#include "updateservice/key_search.h"
#include "updateservice/version_number.h"

bool isUnknownHardware(std::string_view hardwareName) {
  return hardwareName.empty() || hardwareName == "UNKNOW";
}

std::vector<std::string> historyLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

MessageCount messageCount(std::string_view file) {
  KeyReader reader(file);
  const auto text = reader.take("count=", ";");
  if (!text || text->empty()) return {};
  const auto value = parseVersionNumber(*text);
  if (!value) return {MessageCount::Unreadable, 0};
  if (*value <= 0) return {};
  return {MessageCount::Some, *value};
}

std::optional<WebMessage> messageNumber(std::string_view file, int n) {
  // The key's number has no leading zeros; the cut ends at the message's end,
  // so the parts below never reach into the next message.
  KeyReader all(file);
  const auto cut = all.take(std::to_string(n) + "short=", kItemEnd);
  if (!cut) return std::nullopt;
  const std::size_t content = cut->find("&content=");
  if (content == std::string_view::npos) return std::nullopt;
  KeyReader parts(cut->substr(content));
  const auto tooltip = parts.take("&content=", "&url=");
  if (!tooltip) return std::nullopt;
  return WebMessage{std::string(cut->substr(0, content)), std::string(*tooltip),
                    std::string(parts.rest())};
}
