// Where the program reads its language packs and help texts and where it
// keeps configs.ini, the language choice and its default folders.
//
// From the build tree, or from any copy whose data lies beside the program in
// a folder it may write, everything stays in that one folder. An installed
// copy reads its data from <prefix>/share/tovarin and keeps what it writes in
// the user's configuration and data folders.
#pragma once

#include <filesystem>

struct ProgramFolders {
  std::filesystem::path data;      // holds language/ and help/
  std::filesystem::path settings;  // holds configs.ini
  std::filesystem::path defaults;  // holds the default download, cach and patch folders
  // The file that records the chosen language: the data's own language.ext
  // when the program may write it, else a file of that name in `settings`.
  std::filesystem::path languageChoice;
};

// The user's folders for the program, such as ~/.config/Tovarin and
// ~/.local/share/Tovarin.
struct UserFolders {
  std::filesystem::path config;
  std::filesystem::path data;
};

// The installed data folder as seen from the program's folder (built in).
std::filesystem::path installedDataFolder(const std::filesystem::path& exeDir);

// Everything in one folder, as the program has always kept it.
ProgramFolders foldersBeside(const std::filesystem::path& exeDir);

// The folders for a program running from exeDir: beside it when language/ or
// help/ lies there and the folder may be written; otherwise the data comes
// from installedData (exeDir when that does not exist either) and the
// settings go to the user's folders, which are created.
ProgramFolders findProgramFolders(const std::filesystem::path& exeDir,
                                  const std::filesystem::path& installedData,
                                  const UserFolders& user);
