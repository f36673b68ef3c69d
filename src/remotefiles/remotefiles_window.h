// The file page as the rest of the window reaches it (defined in
// remotefiles_*.cpp).
#pragma once

#include <memory>

#include "remotefiles/remote_files_page.h"

class TMainForm;

void buildFilePageControls(TMainForm& form);
void connectRemoteFilesHandlers(TMainForm& form);

// The page a listing worker or a download mission is given.
std::unique_ptr<RemoteFilesPage> makeRemoteFilesPage(TMainForm& form);
