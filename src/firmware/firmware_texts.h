// Texts of the message lists as the firmware page shows them, fetched at
// the moment they are shown so that a language change applies at once.
#pragma once

#include <QString>

#include "settings/message_lists.h"

inline QString fwText(MsgList list, int index) {
  return QString::fromStdString(messageLists().textOf(list, index));
}

// Indices used by the firmware page.
namespace fwmsg {
inline constexpr int kTipReady = 1;                  // FWTipLabel
inline constexpr int kTipPatchNotMatch = 2;          // FWTipLabel
inline constexpr int kTipUpdateFailed = 3;           // FWTipLabel
inline constexpr int kTipConnectFailed = 5;          // FWTipLabel
inline constexpr int kTipDeviceBusy = 6;             // FWTipLabel
inline constexpr int kHintFailedConnection = 1;      // FWHints
inline constexpr int kHintAskBacktrack = 3;          // FWHints
inline constexpr int kHintBacktrackAfterReboot = 4;  // FWHints
inline constexpr int kHintAskReboot = 5;             // FWHints
inline constexpr int kHintAskUpdate = 11;            // FWHints
inline constexpr int kGaugeUploading = 0;            // UpdateProgressGauge
inline constexpr int kGaugeFinished = 2;             // UpdateProgressGauge
inline constexpr int kGaugeSendFinished = 3;         // UpdateProgressGauge
}  // namespace fwmsg
