#include "platform_files.h"

void setHiddenAttribute(const std::filesystem::path& /*file*/) {
  // No hidden attribute on this platform; see the header.
}
