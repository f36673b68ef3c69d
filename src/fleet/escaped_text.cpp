#include "fleet/escaped_text.h"

#include <cstdint>

namespace {

// Length of the valid UTF-8 sequence at the start of s (no overlong form, no
// surrogate, at most U+10FFFF), or 0 when it is not one.
std::size_t utf8Length(std::string_view s, char32_t* codePoint) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    *codePoint = lead;
    return 1;
  }
  std::size_t length = 0;
  char32_t cp = 0, lowest = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, lowest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, lowest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, lowest = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i) & 0x3F);
  }
  if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  *codePoint = cp;
  return length;
}

bool isControl(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

void appendHex(std::string& out, unsigned char b) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += "\\x";
  out += kDigits[b >> 4];
  out += kDigits[b & 0x0F];
}

}  // namespace

std::string escapedText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    char32_t cp = 0;
    std::size_t length = utf8Length(bytes, &cp);
    if (length == 0 || isControl(cp)) {
      // Not UTF-8: this byte alone; a control: all of its bytes.
      if (length == 0) length = 1;
      for (std::size_t i = 0; i < length; ++i) appendHex(out, static_cast<unsigned char>(bytes[i]));
    } else if (cp == '\\') {
      out += "\\\\";
    } else {
      out.append(bytes.substr(0, length));
    }
    bytes.remove_prefix(length);
  }
  return out;
}
