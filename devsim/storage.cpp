#include "storage.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace devsim {

namespace fs = std::filesystem;

bool resolveInside(const std::string& root, const std::string& relative, std::string* resolved) {
  if (relative.find('\0') != std::string::npos || (!relative.empty() && relative[0] == '/'))
    return false;
  fs::path rel(relative);
  for (const auto& part : rel)
    if (part == "..") return false;
  std::error_code ec;
  fs::path base = fs::canonical(root, ec);
  if (ec) return false;
  fs::path full = fs::weakly_canonical(base / rel, ec);
  if (ec) return false;
  auto [b, f] = std::mismatch(base.begin(), base.end(), full.begin(), full.end());
  if (b != base.end()) return false;  // a link led outside the storage
  *resolved = full.string();
  return true;
}

bool listDirectory(const std::string& directory, std::size_t maxEntries,
                   std::vector<ListEntry>* entries) {
  std::error_code ec;
  if (!fs::is_directory(directory, ec)) return false;
  entries->clear();
  for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
    if (entries->size() >= maxEntries) break;
    std::error_code typeError;
    if (it->is_directory(typeError))
      entries->push_back({'1', it->path().filename().string()});
    else if (it->is_regular_file(typeError))
      entries->push_back({'2', it->path().filename().string()});
  }
  if (ec) return false;
  std::sort(entries->begin(), entries->end(),
            [](const ListEntry& a, const ListEntry& b) { return a.name < b.name; });
  return true;
}

bool isPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

}  // namespace devsim
