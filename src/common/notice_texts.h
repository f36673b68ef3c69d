// The fixed notices a worker posts to the window (never translated): the
// window acts on the exact text.
#pragma once

#include <QString>

class TMainForm;

namespace notice {
// The firmware run has delivered its patch: the window reboots the device.
inline const QString kUpdateWillFinish = QStringLiteral("Update will finish after reboot");
// The device search has ended: the window lists what it found.
inline const QString kSearchFinished = QStringLiteral("search finished!");
// The online update found a newer patch after this one.
inline const QString kCheckForNextUpdate = QStringLiteral("Check For Next Update");
}  // namespace notice

// Posts a notice to the window's thread-message edit (on the window's thread);
// the window acts on it before this returns.
void postThreadNotice(TMainForm& form, const QString& text);
// The same for the device search's own message edit.
void postSearchNotice(TMainForm& form, const QString& text);
