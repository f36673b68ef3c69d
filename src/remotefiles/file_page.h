// The file page functions that the listing worker and the download missions
// have carried out on the window's thread, through their RemoteFilesPage
// (defined in remotefiles_handlers.cpp). Call them only on the window's thread.
#pragma once

#include <string>

#include "remotefiles/mission_report.h"

class TMainForm;

// One entry of a listing reply, added with FileListAddItemByName.
void addListingEntry(TMainForm& form, const std::string& name, const std::string& path, char kind);
void repaintFileList(TMainForm& form);
// The box the listing worker shows when its request could not be sent.
void showListingSendError(TMainForm& form);
// The download folder as the Options page shows it now, in the local code page.
std::string missionDownloadFolder(TMainForm& form);
// The overwrite question; true for Yes.
bool askMissionOverwrite(TMainForm& form);
// Queues how a mission ended and shows the waiting notices unless a notice
// is up already; the missions' progress lines follow at once.
void reportMissionEnd(TMainForm& form, const remotefiles::MissionResult& result);
// A device file name that would not land inside the download folder.
void refuseMissionTarget(TMainForm& form, const std::string& remotePath);
