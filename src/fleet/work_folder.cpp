#include "fleet/work_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <system_error>

WorkFolder::WorkFolder(const std::filesystem::path& root) {
  std::string name = (root / "tovarin-fleet-XXXXXX").string();
  if (::mkdtemp(name.data()) == nullptr) {
    error_ =
        "cannot make a folder in " + root.string() + ": " + std::generic_category().message(errno);
    return;
  }
  path_ = name;
}

WorkFolder::~WorkFolder() { remove(); }

void WorkFolder::remove() {
  if (path_.empty()) return;
  // remove_all removes a link itself and never descends through it.
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}
