// Where the file page is in the device's storage. A member of AppState.
#pragma once

#include <string>

struct RemoteFilesState {
  // The entry opened last, relative to "/sdcard/"; Open sets it, Up cuts it.
  std::string currentRelPath;
  // The directory the file list shows (or is being filled with), relative to
  // "/sdcard/"; Up lists its parent.
  std::string shownDirPath;
};
