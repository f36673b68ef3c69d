#include "updateservice/catalogue_name.h"

bool isShellSafeFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '_' || c == '-';
    if (!plain) return false;
  }
  return true;
}

bool isPlainCatalogueName(const std::string& name) {
  return name.size() <= kMaxCatalogueNameBytes && isShellSafeFileName(name);
}
