// The fixed notices a worker posts to the window (never translated): the
// window acts on the exact text.
#pragma once

#include <QString>

namespace notice {
// The firmware run has delivered its patch: the window reboots the device.
inline const QString kUpdateWillFinish = QStringLiteral("Update will finish after reboot");
// The device search has ended: the window lists what it found.
inline const QString kSearchFinished = QStringLiteral("search finished!");
// The online update found a newer patch after this one.
inline const QString kCheckForNextUpdate = QStringLiteral("Check For Next Update");
}  // namespace notice
