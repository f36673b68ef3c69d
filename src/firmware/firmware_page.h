// The firmware page as the rest of the program reaches it: starting a run,
// the close veto, and the page functions the update run and the device
// library's progress calls (all defined in firmware_handlers.cpp).
//
// Page functions run on the window's thread (workers call them through
// runOnUiThread) and do nothing once `form` is no longer the window.
#pragma once

#include <QString>

class TMainForm;

enum class UpdateOrigin {
  Operator,   // FirmwareUpdate_Btn, after the operator's Yes
  Automatic,  // the online update, right after packing its patch
};

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
