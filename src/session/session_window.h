// The login panel as the rest of the window reaches it (defined in
// session_*.cpp; window's thread only).
#pragma once

class TMainForm;

void buildLoginPanelControls(TMainForm& form);
void connectSessionHandlers(TMainForm& form);

// Shows the device list's marks (no answer, shared identifiers) and its
// notice in the current language.
void showDeviceListMarks(TMainForm& form);
