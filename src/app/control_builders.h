// Each subsystem folder builds its own controls on the main window and
// connects their events to the window's handlers.
#pragma once

class TMainForm;

void buildLoginPanelControls(TMainForm& form);      // session/
void buildFilePageControls(TMainForm& form);        // remotefiles/
void buildFirmwarePageControls(TMainForm& form);    // firmware/
void buildOptionsPageControls(TMainForm& form);     // settings/
void buildPatchMakerPageControls(TMainForm& form);  // patchmaker/

void connectSessionHandlers(TMainForm& form);
void connectFirmwareHandlers(TMainForm& form);
void connectSettingsHandlers(TMainForm& form);
void connectUpdateServiceHandlers(TMainForm& form);
