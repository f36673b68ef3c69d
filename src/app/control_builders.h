// Each subsystem folder builds its own controls on the main window and
// connects their events to the window's handlers.
#pragma once

class TMainForm;
class TTutor_Form;

void buildLoginPanelControls(TMainForm& form);      // session/
void buildFilePageControls(TMainForm& form);        // remotefiles/
void buildFirmwarePageControls(TMainForm& form);    // firmware/
void buildOptionsPageControls(TMainForm& form);     // settings/
void buildPatchMakerPageControls(TMainForm& form);  // patchmaker/

void connectSessionHandlers(TMainForm& form);
void connectFirmwareHandlers(TMainForm& form);
void connectSettingsHandlers(TMainForm& form);
void connectUpdateServiceHandlers(TMainForm& form);
void connectRemoteFilesHandlers(TMainForm& form);
// The tutorial is a window of its own, created after the main window: it
// connects itself (tutorial/) when it is built.
void connectTutorialHandlers(TMainForm& form, TTutor_Form& tutor);
void connectPatchMakerHandlers(TMainForm& form);
