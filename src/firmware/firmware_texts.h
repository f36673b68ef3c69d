// Message-list indices used by the firmware page (texts via msgText).
#pragma once

#include "settings/message_lists.h"

namespace fwmsg {
inline constexpr int kTipReady = 1;                // FWTipLabel
inline constexpr int kTipPatchNotMatch = 2;        // FWTipLabel
inline constexpr int kTipUpdateFailed = 3;         // FWTipLabel
inline constexpr int kTipConnectFailed = 5;        // FWTipLabel
inline constexpr int kTipDeviceBusy = 6;           // FWTipLabel
inline constexpr int kTipMd5Mismatch = 10;         // FWTipLabel
inline constexpr int kTipConnectionAbnormal = 11;  // FWTipLabel
// The tips that report a failure; the others are hints or progress.
inline constexpr int kFailureTips[] = {kTipPatchNotMatch, kTipUpdateFailed, kTipConnectFailed,
                                       kTipDeviceBusy,    kTipMd5Mismatch,  kTipConnectionAbnormal};
inline constexpr int kHintFailedConnection = 1;      // FWHints
inline constexpr int kHintAskBacktrack = 3;          // FWHints
inline constexpr int kHintBacktrackAfterReboot = 4;  // FWHints
inline constexpr int kHintAskReboot = 5;             // FWHints
inline constexpr int kHintAskUpdate = 11;            // FWHints
inline constexpr int kGaugeUploading = 0;            // UpdateProgressGauge
inline constexpr int kGaugeUnpacking = 1;            // UpdateProgressGauge
inline constexpr int kGaugeFinished = 2;             // UpdateProgressGauge
inline constexpr int kGaugeSendFinished = 3;         // UpdateProgressGauge
}  // namespace fwmsg
