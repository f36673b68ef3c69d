// RemoteFilesPage: the file page as the listing worker and the download
// missions see it. They call it on the window's thread (through
// runOnUiThread); the window's side (remotefiles_handlers.cpp) does nothing
// (returns empty, or No) once the window is gone.
#pragma once

#include <string>

#include "remotefiles/mission_report.h"

class RemoteFilesPage {
 public:
  virtual ~RemoteFilesPage() = default;
  // One entry of a listing reply.
  virtual void addListingEntry(const std::string& name, const std::string& path, char kind) = 0;
  virtual void repaintFileList() = 0;
  // The box shown when the listing request could not be sent.
  virtual void showListingSendError() = 0;
  // The download folder as the Options page shows it now, in the local code page.
  virtual std::string missionDownloadFolder() = 0;
  // The overwrite question; true for Yes.
  virtual bool askMissionOverwrite() = 0;
  // How a mission ended: queued for the operator's notice, which the page
  // shows at once unless a notice is up already (it then follows that one).
  virtual void reportMissionEnd(const remotefiles::MissionResult& result) = 0;
  // A device file name that would not land inside the download folder.
  virtual void refuseMissionTarget(const std::string& remotePath) = 0;
};
