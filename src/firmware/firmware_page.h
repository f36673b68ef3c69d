// The firmware page as the rest of the program reaches it: starting a run,
// the close veto, and the page functions the update run and the device
// library's progress calls (all defined in firmware_handlers.cpp).
//
// Page functions run on the window's thread (the update run reaches them
// through its UpdatePage, the device library's progress through
// ProgressPages) and do nothing once `form` is no longer the window.
#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "firmware/update_page.h"  // UpdateOrigin

class TMainForm;

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

// The hardware name of the logged-in device; empty when none is logged in.
QString loggedInHardware(TMainForm& form);
// With the patch area empty the tip no longer says "Ready".
void showIdleTipWithoutPatch(TMainForm& form);
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

// --- Page functions ---------------------------------------------------------
// The device buttons wait while a run is on.
void lockDeviceButtons(TMainForm* form);
// The path of the patch in the patch area; empty when there is none.
QString patchInArea(TMainForm* form);
// The gauge takes over from the tip, at zero, with this text.
void showUpdateGauge(TMainForm* form, const QString& text);
// A new text on the gauge, which stays where it is.
void setUpdateGaugeText(TMainForm* form, const QString& text);
// The device library's progress of the patch it sends (0-100); the
// unpacking text from its stage on.
void showUpdateProgress(TMainForm* form, int value);
// A new text on the tip label: in the warning red when it is one of the
// failure tips, in the page's own colour otherwise.
void showFirmwareTip(TMainForm* form, const QString& text);
// The same with the colour given: red for a failure.
void showFirmwareTipAs(TMainForm* form, const QString& text, bool failure);
// The gauge goes; the tip says why the run failed.
void showUpdateFailure(TMainForm* form, const QString& tip);
// The version the device reported after installing.
void showFirmwareVersion(TMainForm* form, int version);
// The run's end step on the page: the device buttons follow the session's
// flags again. Returns the patch folder for an automatic run (its work
// folder is to be emptied), otherwise empty.
QString endUpdateRun(TMainForm* form, UpdateOrigin origin);
// The packed patch of an automatic run leaves the patch area.
void dropPackedPatch(TMainForm* form);
// Posts a fixed notice (app/notice_texts.h) that the window acts on.
void postRunNotice(TMainForm* form, const QString& text);

// --- Page functions of the reboot check ----------------------------------------
// Starts a device search unless one is running; true when it started one.
bool startRebootSearch(TMainForm* form);
bool rebootSearchRunning(TMainForm* form);
// Whether the latest search result lists the address.
bool searchListed(TMainForm* form, const std::string& address);
// The device is back: its version, flags and the buttons they allow.
void showDeviceBack(TMainForm* form, std::int32_t version, std::int32_t updatePending,
                    std::int32_t backtrackAvailable);
// The check's verdict on the tip label (the gauge gives way).
void showRebootCheckTip(TMainForm* form, const QString& tip, bool failure);
