#include "patchmaker/file_to_patch.h"

#include <cstring>

std::string commaTextOf(const std::string& path) {
  bool quote = false;
  for (unsigned char c : path)
    if (c == ' ' || c == ',' || c == '"' || c < 0x20) quote = true;
  if (!quote) return path;
  std::string out = "\"";
  for (char c : path) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

namespace {

void copyWhole(char* buffer, std::size_t size, const std::string& text) {
  if (size == 0) return;
  if (text.size() >= size) {
    buffer[0] = '\0';
    return;
  }
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
}

}  // namespace

bool fitsBuffers(const FileToPatch& file, std::size_t nameSize, std::size_t infoSize) {
  return file.name.size() < nameSize && commaTextOf(file.path).size() < infoSize;
}

void writeFileToPatch(const FileToPatch& file, char* name, std::size_t nameSize, char* info,
                      std::size_t infoSize) {
  copyWhole(name, nameSize, file.name);
  copyWhole(info, infoSize, commaTextOf(file.path));
}
