// The firmware page as the rest of the window reaches it: its controls and
// events, starting a run, the device buttons, the tip, the check after a
// reboot and the close veto (all defined in firmware_*.cpp; window's thread
// only).
#pragma once

#include <QString>
#include <string>

#include "firmware/update_page.h"  // UpdateOrigin

class TMainForm;

void buildFirmwarePageControls(TMainForm& form);
void connectFirmwareHandlers(TMainForm& form);

// Starts a run on the window's thread: the device buttons are disabled at
// once, so no second run, reboot or backtrack can start before the run's own
// first step.
void startFirmwareUpdateRun(TMainForm& form, UpdateOrigin origin);

// The firmware page's four device buttons: update, online update, reboot and
// backtrack.
void setDeviceButtonsEnabled(TMainForm& form, bool enabled);
// The same four buttons as the session's flags allow, after a login and at
// a run's end: an update pending until the next reboot blocks another send
// and online update, and backtrack is offered only to undo that update.
void setDeviceButtonsFromSession(TMainForm& form);

// A new text on the tip label: in the warning red when it is one of the
// failure tips, in the page's own colour otherwise.
void showFirmwareTip(TMainForm& form, const QString& text);
// The same with the colour given: red for a failure.
void showFirmwareTipAs(TMainForm& form, const QString& text, bool failure);
// The tip for a device just logged in: an update waiting for its reboot,
// a patch in the area that does not fit it, or what to do next.
void showTipForLoggedInDevice(TMainForm& form);

// After a reboot request: waits in the background for the device at
// address to come back and shows the firmware it runs. One at a time.
void startRebootCheck(TMainForm& form, const std::string& address);
// Stops the reboot check, waits for it and frees it (nothing when none).
void stopRebootCheck(TMainForm& form);

// Asked when the window is about to close during an update run: false keeps
// it open.
bool confirmCloseDuringUpdate(TMainForm& form);
