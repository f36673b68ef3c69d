#include "fleet/report_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace {

std::string errnoText() { return std::generic_category().message(errno); }

}  // namespace

std::string reportPathRefusal(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    // The report replaces the file, so a link would be followed elsewhere.
    if (S_ISLNK(st.st_mode)) return "is a link; give the path of the file itself";
    if (!S_ISREG(st.st_mode)) return "is not a regular file";
    if (::access(path.c_str(), W_OK) != 0) return errnoText();
  } else if (errno != ENOENT) {
    return errnoText();
  }
  // The new report is made beside it and renamed into place.
  const std::filesystem::path file(path);
  const std::string folder = file.has_parent_path() ? file.parent_path().string() : ".";
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return "its folder: " + errnoText();
  return {};
}
