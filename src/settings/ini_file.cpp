#include "ini_file.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

// SimpleIni reads; raw bytes in and out, implementation compiled here only.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace {

bool readWholeFile(const std::filesystem::path& file, std::string& bytes) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// How the writer sees one line of the file; mirrors the reader's rules.
struct LineKind {
  enum { kOther, kSection, kKey } kind = kOther;
  std::string_view name;  // section or key name, trimmed
};

LineKind classify(std::string_view line) {
  const std::string_view t = trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '#') return {};
  if (t.front() == '[') {
    const auto close = t.find(']');
    if (close == std::string_view::npos) return {};
    return {LineKind::kSection, trim(t.substr(1, close - 1))};
  }
  const auto eq = t.find('=');
  if (eq == std::string_view::npos) return {};
  return {LineKind::kKey, trim(t.substr(0, eq))};
}

}  // namespace

struct IniFile::Data {
  CSimpleIniA ini{/*utf8*/ false, /*multiKey*/ true, /*multiLine*/ false};
};

IniFile::IniFile(std::unique_ptr<Data> data) : data_(std::move(data)) {}
IniFile::IniFile(IniFile&&) noexcept = default;
IniFile& IniFile::operator=(IniFile&&) noexcept = default;
IniFile::~IniFile() = default;

IniFile IniFile::load(const std::filesystem::path& file) {
  auto data = std::make_unique<Data>();
  std::error_code ec;
  std::string bytes;
  if (std::filesystem::is_regular_file(file, ec) && readWholeFile(file, bytes)) {
    data->ini.LoadData(bytes.data(), bytes.size());
  }
  return IniFile(std::move(data));
}

std::optional<std::string> IniFile::find(std::string_view section, std::string_view key) const {
  // With multiple keys allowed, GetValue gives the first of equal keys.
  const char* value =
      data_->ini.GetValue(std::string(section).c_str(), std::string(key).c_str(), nullptr);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  auto value = find(section, key);
  return value ? *value : std::string(fallback);
}

int IniFile::readInt(std::string_view section, std::string_view key, int fallback) const {
  const auto value = find(section, key);
  if (!value) return fallback;
  std::string_view text = trim(*value);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int number = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return fallback;
  return number;
}

std::vector<std::string> IniFile::keysOf(std::string_view section) const {
  CSimpleIniA::TNamesDepend keys;
  data_->ini.GetAllKeys(std::string(section).c_str(), keys);
  keys.sort(CSimpleIniA::Entry::LoadOrder());
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const auto& entry : keys) {
    std::string lowered = entry.pItem;
    for (char& c : lowered) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    if (seen.insert(lowered).second) names.emplace_back(entry.pItem);
  }
  return names;
}

std::string setIniKey(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value) {
  const std::string_view eol = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
  const std::string newLine = std::string(key) + "=" + std::string(value);

  // Split into lines, each keeping its own line end.
  std::vector<std::string_view> lines;
  for (size_t pos = 0; pos < text.size();) {
    const auto nl = text.find('\n', pos);
    const size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    lines.push_back(text.substr(pos, end - pos));
    pos = end;
  }

  // Lines before any section header belong to the unnamed section.
  bool inSection = section.empty();
  std::optional<size_t> insertAfter;  // last key line (or header) of the first match
  bool firstMatchDone = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const LineKind line = classify(lines[i]);
    if (line.kind == LineKind::kSection) {
      if (inSection) firstMatchDone = true;
      inSection = equalsNoCase(line.name, section);
      if (inSection && !firstMatchDone && !insertAfter) insertAfter = i;
      continue;
    }
    if (!inSection || line.kind != LineKind::kKey) continue;
    if (equalsNoCase(line.name, key)) {
      // Replace the first occurrence, keeping this line's own line end.
      std::string result;
      for (size_t j = 0; j < lines.size(); ++j) {
        if (j != i) {
          result += lines[j];
          continue;
        }
        const bool hasCr = lines[j].ends_with("\r\n");
        const bool hasLf = lines[j].ends_with('\n');
        result += newLine;
        result += hasCr ? "\r\n" : (hasLf ? "\n" : "");
      }
      return result;
    }
    if (!firstMatchDone) insertAfter = i;
  }

  std::string result;
  auto appendLine = [&](std::string_view line) {
    if (!result.empty() && !result.ends_with('\n')) result += eol;
    result += line;
    result += eol;
  };
  if (insertAfter || (section.empty() && lines.empty())) {
    const size_t at = insertAfter ? *insertAfter + 1 : 0;
    for (size_t j = 0; j < at; ++j) result += lines[j];
    appendLine(newLine);
    for (size_t j = at; j < lines.size(); ++j) result += lines[j];
    return result;
  }
  if (section.empty()) {  // keys of the unnamed section go before the first header
    appendLine(newLine);
    for (auto line : lines) result += line;
    return result;
  }
  for (auto line : lines) result += line;
  appendLine("[" + std::string(section) + "]");
  result += newLine;
  result += eol;
  return result;
}

bool IniFile::writeKey(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, std::string_view value) {
  // A line break inside the value would smuggle further lines into the file.
  if (value.find_first_of("\r\n") != std::string_view::npos) return false;
  std::error_code ec;
  std::string bytes;
  if (std::filesystem::exists(file, ec)) {
    if (!std::filesystem::is_regular_file(file, ec) || !readWholeFile(file, bytes)) return false;
  }
  const std::string updated = setIniKey(bytes, section, key, value);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(updated.data(), static_cast<std::streamsize>(updated.size()));
  out.close();
  return !out.fail();
}
