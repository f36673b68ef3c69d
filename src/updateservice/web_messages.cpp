#include "updateservice/web_messages.h"

#include "updateservice/key_reader.h"
#include "updateservice/version_number.h"

bool isUnknownHardware(std::string_view hardwareName) {
  return hardwareName.empty() || hardwareName == "UNKNOW";
}

std::string_view cutText(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = maxBytes;
  // Back off over continuation bytes to the start of the character cut.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

HistoryText historyLines(std::string_view text, std::size_t maxLines, std::size_t maxBytes) {
  HistoryText history;
  const std::string_view kept = cutText(text, maxBytes);
  std::size_t start = 0;
  for (std::size_t i = 0; i < kept.size() && history.lines.size() < maxLines; ++i) {
    if (kept[i] != '\r' && kept[i] != '\n') continue;
    history.lines.emplace_back(kept.substr(start, i - start));
    if (kept[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < kept.size() && history.lines.size() < maxLines) {
    history.lines.emplace_back(kept.substr(start));
    start = kept.size();
  }
  history.cut = start < text.size();
  return history;
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
  WebMessage message;
  const std::string_view caption = cut->substr(0, content);
  message.caption = cutText(caption, kMaxCaptionBytes);
  message.captionCut = message.caption.size() < caption.size();
  message.tooltip = cutText(*tooltip, kMaxTooltipBytes);
  message.tooltipCut = message.tooltip.size() < tooltip->size();
  if (parts.rest().size() <= kMaxAddressBytes) message.address = parts.rest();
  return message;
}
