#include "program_folders.h"

#include <unistd.h>

#include <system_error>

#include "language_index.h"

namespace fs = std::filesystem;

namespace {

bool isFolder(const fs::path& folder) {
  std::error_code ec;
  return fs::is_directory(folder, ec);
}

bool holdsData(const fs::path& folder) {
  return isFolder(folder / "language") || isFolder(folder / "help");
}

// access() asks the kernel, so read-only mounts and ownership both count.
bool mayWrite(const fs::path& folder) { return ::access(folder.c_str(), W_OK) == 0; }

}  // namespace

fs::path installedDataFolder(const fs::path& exeDir) {
  // TOVARIN_INSTALLED_DATA: the data folder relative to the program's (CMake).
  return (exeDir / TOVARIN_INSTALLED_DATA).lexically_normal();
}

ProgramFolders foldersBeside(const fs::path& exeDir) {
  return {exeDir, exeDir, exeDir, languageIndexPath(exeDir)};
}

ProgramFolders findProgramFolders(const fs::path& exeDir, const fs::path& installedData,
                                  const UserFolders& user) {
  const bool dataBeside = holdsData(exeDir);
  if (dataBeside && mayWrite(exeDir)) return foldersBeside(exeDir);

  ProgramFolders folders;
  folders.data = dataBeside || !holdsData(installedData) ? exeDir : installedData;
  folders.settings = user.config;
  folders.defaults = user.data;
  folders.languageChoice = user.config / "language.ext";
  // configs.ini is created at start; its folder must be there first. A
  // failure shows as the usual "Unable to write to" box.
  std::error_code ec;
  fs::create_directories(user.config, ec);
  fs::create_directories(user.data, ec);
  return folders;
}
