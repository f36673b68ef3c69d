#include "served_path.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace devsim {

std::optional<fs::path> resolveServedFile(const fs::path& root, const std::string& urlPath) {
  if (urlPath.empty() || urlPath.front() != '/') return std::nullopt;
  if (urlPath.find('\0') != std::string::npos || urlPath.find('\\') != std::string::npos) {
    return std::nullopt;
  }
  fs::path relative;
  std::size_t start = 1;
  while (start <= urlPath.size()) {
    std::size_t slash = urlPath.find('/', start);
    if (slash == std::string::npos) slash = urlPath.size();
    const std::string segment = urlPath.substr(start, slash - start);
    if (segment == "..") return std::nullopt;
    if (!segment.empty() && segment != ".") relative /= segment;
    start = slash + 1;
  }
  if (relative.empty()) return std::nullopt;

  std::error_code ec;
  const fs::path real = fs::canonical(root / relative, ec);
  if (ec) return std::nullopt;
  // A symbolic link may still point elsewhere: the real path must keep every
  // component of the root.
  if (std::mismatch(root.begin(), root.end(), real.begin(), real.end()).first != root.end()) {
    return std::nullopt;
  }
  if (!fs::is_regular_file(real, ec)) return std::nullopt;
  return real;
}

}  // namespace devsim
