#include "platform_files.h"

#include <climits>

void setHiddenAttribute(const std::filesystem::path& /*file*/) {
  // No hidden attribute on this platform; see the header.
}

bool pathFitsPlatform(std::string_view path) { return path.size() < PATH_MAX; }
