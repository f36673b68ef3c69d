// Message-list indices used by the firmware page (texts via msgText).
#pragma once

#include "kestrum.h"
#include "settings/message_lists.h"

namespace fwmsg {
inline constexpr int kTipChoosePatch = 0;          // FWTipLabel
inline constexpr int kTipReady = 1;                // FWTipLabel
inline constexpr int kTipPatchNotMatch = 2;        // FWTipLabel
inline constexpr int kTipUpdateFailed = 3;         // FWTipLabel
inline constexpr int kTipPendingReboot = 4;        // FWTipLabel
inline constexpr int kTipConnectFailed = 5;        // FWTipLabel
inline constexpr int kTipDeviceBusy = 6;           // FWTipLabel
inline constexpr int kTipMd5Mismatch = 10;         // FWTipLabel
inline constexpr int kTipConnectionAbnormal = 11;  // FWTipLabel
inline constexpr int kTipNowOnVersion = 12;        // FWTipLabel, %1 the version
inline constexpr int kTipStillOnVersion = 13;      // FWTipLabel, %1 the version
inline constexpr int kTipNotBack = 14;             // FWTipLabel, %1 the seconds waited
// Why a step failed, shown after the step's own message.
inline constexpr int kWhyNotAPatch = 15;       // FWTipLabel
inline constexpr int kWhyEmptyFile = 16;       // FWTipLabel
inline constexpr int kWhyConnectionLost = 17;  // FWTipLabel
inline constexpr int kWhyNoAnswer = 18;        // FWTipLabel
inline constexpr int kWhyUnreadableFile = 19;  // FWTipLabel
inline constexpr int kWhyDeviceCode = 20;      // FWTipLabel, %1 the result code
inline constexpr int kMsgLoginFailed = 21;     // FWTipLabel
// The tips that report a failure; the others are hints or progress.
inline constexpr int kFailureTips[] = {kTipPatchNotMatch, kTipUpdateFailed, kTipConnectFailed,
                                       kTipDeviceBusy,    kTipMd5Mismatch,  kTipConnectionAbnormal};
inline constexpr int kHintFailedConnection = 1;      // FWHints
inline constexpr int kHintAskBacktrack = 3;          // FWHints
inline constexpr int kHintBacktrackAfterReboot = 4;  // FWHints
inline constexpr int kHintAskReboot = 5;             // FWHints
inline constexpr int kHintDeviceReboot = 6;          // FWHints
inline constexpr int kHintAskUpdate = 11;            // FWHints
inline constexpr int kHintCheckForNextUpdate = 12;   // FWHints
inline constexpr int kGaugeUploading = 0;            // UpdateProgressGauge
inline constexpr int kGaugeUnpacking = 1;            // UpdateProgressGauge
inline constexpr int kGaugeFinished = 2;             // UpdateProgressGauge
inline constexpr int kGaugeSendFinished = 3;         // UpdateProgressGauge

// The meaning of a failed device call's result, for the reason shown after
// the step's message: which FWTipLabel entry (kWhy...) names it.
constexpr int reasonOf(int result) {
  switch (result) {
    case KESTRUM_FAIL_CONNECTION:
      return kWhyConnectionLost;
    case KESTRUM_FAIL_TIMEOUT:
      return kWhyNoAnswer;
    case KESTRUM_FAIL_REFUSED:  // the device's check of the patch (digest, header, entries)
      return kWhyNotAPatch;
    case KESTRUM_FAIL_LOCAL_FILE:
      return kWhyUnreadableFile;
    default:
      return kWhyDeviceCode;
  }
}

// "message (reason)": a step's own message with why it failed.
inline QString withReason(const QString& message, const QString& reason) {
  return message + " (" + reason + ")";
}

// The reason text of a device call's result.
inline QString reasonText(const MessageLists& lists, int result) {
  const int why = reasonOf(result);
  const QString text = msgText(lists, MsgList::FWTipLabel, why);
  return why == kWhyDeviceCode ? text.arg(result) : text;
}
}  // namespace fwmsg
