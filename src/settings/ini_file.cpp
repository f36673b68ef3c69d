#include "ini_file.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

#include "atomic_file.h"

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

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

bool isQuoted(std::string_view v) { return v.size() >= 2 && v.front() == '"' && v.back() == '"'; }

// The one set of line rules, used by the reader and the writer alike: blank
// lines and lines starting with ';' or '#' are comments; "[name]" opens a
// section (text after the ']' is ignored); "key=value" splits at the first
// '='; names and values are trimmed and a value in double quotes loses them.
// Anything else is ignored. Bytes are bytes: a NUL is part of the text.
struct LineKind {
  enum { kOther, kSection, kKey } kind = kOther;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key lines only
};

LineKind classify(std::string_view line) {
  std::string_view t = trim(line);
  if (t.starts_with("\xEF\xBB\xBF")) t = trim(t.substr(3));  // a byte-order mark
  if (t.empty() || t.front() == ';' || t.front() == '#') return {};
  if (t.front() == '[') {
    const auto close = t.find(']');
    if (close == std::string_view::npos) return {};
    return {LineKind::kSection, trim(t.substr(1, close - 1)), {}};
  }
  const auto eq = t.find('=');
  if (eq == std::string_view::npos) return {};
  std::string_view value = trim(t.substr(eq + 1));
  if (isQuoted(value)) value = value.substr(1, value.size() - 2);
  return {LineKind::kKey, trim(t.substr(0, eq)), value};
}

// Splits text into lines, each keeping its own line end.
std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (size_t pos = 0; pos < text.size();) {
    const auto nl = text.find('\n', pos);
    const size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    lines.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return lines;
}

// How a value is stored so that the rules above give it back unchanged:
// in double quotes when it has surrounding blanks or quotes of its own.
std::string storedValue(std::string_view value) {
  if (trim(value) != value || isQuoted(value)) return "\"" + std::string(value) + "\"";
  return std::string(value);
}

}  // namespace

struct IniFile::Data {
  struct Entry {
    std::string section, key, value;
  };
  std::vector<Entry> entries;  // file order; keys before any header have section ""

  static Data parse(std::string_view text) {
    Data data;
    std::string section;
    for (std::string_view line : splitLines(text)) {
      const LineKind kind = classify(line);
      if (kind.kind == LineKind::kSection) section = kind.name;
      if (kind.kind == LineKind::kKey)
        data.entries.push_back({section, std::string(kind.name), std::string(kind.value)});
    }
    return data;
  }
};

IniFile::IniFile(std::unique_ptr<Data> data) : data_(std::move(data)) {}
IniFile::IniFile(IniFile&&) noexcept = default;
IniFile& IniFile::operator=(IniFile&&) noexcept = default;
IniFile::~IniFile() = default;

IniFile IniFile::load(const std::filesystem::path& file) {
  std::error_code ec;
  std::string bytes;
  if (!std::filesystem::is_regular_file(file, ec) || !readWholeFile(file, bytes)) bytes.clear();
  return IniFile(std::make_unique<Data>(Data::parse(bytes)));
}

IniFile IniFile::fromText(std::string_view text) {
  return IniFile(std::make_unique<Data>(Data::parse(text)));
}

std::optional<std::string> IniFile::find(std::string_view section, std::string_view key) const {
  for (const Data::Entry& e : data_->entries)
    if (equalsNoCase(e.section, section) && equalsNoCase(e.key, key)) return e.value;
  return std::nullopt;
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
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const Data::Entry& e : data_->entries) {
    if (!equalsNoCase(e.section, section)) continue;
    std::string lowered = e.key;
    for (char& c : lowered) c = lowerAscii(c);
    if (seen.insert(lowered).second) names.push_back(e.key);
  }
  return names;
}

std::string setIniKey(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value) {
  const std::string_view eol = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
  const std::string newLine = std::string(key) + "=" + storedValue(value);
  const std::vector<std::string_view> lines = splitLines(text);

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
  // A value the reader would not give back (a key that is no key, say) is
  // a failed write, not a silently different setting.
  if (IniFile::fromText(updated).find(section, key) != value) return false;
  return replaceFileContents(file, updated);
}
