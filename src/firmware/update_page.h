// UpdatePage: the firmware page as an update run sees it. The run keeps the
// device sequence and calls these on the window's thread (through
// runOnUiThread), in the order the operator is to see them; the window's
// side (firmware_handlers.cpp) does nothing once the window is gone. Tests
// drive a run with a page of their own.
#pragma once

#include <QString>

enum class UpdateOrigin {
  Operator,   // FirmwareUpdate_Btn, after the operator's Yes
  Automatic,  // the online update, right after packing its patch
};

class UpdatePage {
 public:
  virtual ~UpdatePage() = default;
  // The device buttons wait while a run is on.
  virtual void lockDeviceButtons() = 0;
  // The path of the patch in the patch area; empty when there is none.
  virtual QString patchInArea() = 0;
  // The gauge takes over from the tip, at zero, with this text.
  virtual void showUpdateGauge(const QString& text) = 0;
  // A new text on the gauge, which stays where it is.
  virtual void setUpdateGaugeText(const QString& text) = 0;
  // The gauge goes; the tip says why the run failed.
  virtual void showUpdateFailure(const QString& tip) = 0;
  // The version the device reported after installing.
  virtual void showFirmwareVersion(int version) = 0;
  // The device buttons follow the session's flags again. Returns the patch
  // folder for an automatic run, otherwise empty.
  virtual QString endUpdateRun(UpdateOrigin origin) = 0;
  // The packed patch of an automatic run leaves the patch area.
  virtual void dropPackedPatch() = 0;
  // Posts a fixed notice (app/notice_texts.h) that the window acts on.
  virtual void postRunNotice(const QString& text) = 0;
};
