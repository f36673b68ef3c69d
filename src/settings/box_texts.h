// Indices of the "Boxes" message list: the fixed texts of boxes, questions,
// their titles and the window caption, kept in a list so that a language
// pack reaches them like every other message.
#pragma once

namespace boxmsg {
inline constexpr int kAddressError = 0;
inline constexpr int kPasswordError = 1;
inline constexpr int kNoSuchUser = 2;
inline constexpr int kDownloadOk = 3;
inline constexpr int kFileTitle = 4;
inline constexpr int kFileMd5Title = 5;
inline constexpr int kOverwriteQuestion = 6;
inline constexpr int kDownloadWarningTitle = 7;
inline constexpr int kMissionLimit = 8;
inline constexpr int kNeedAFile = 9;
inline constexpr int kAskingTitle = 10;
inline constexpr int kWarningTitle = 11;
inline constexpr int kCloseDuringUpdate = 12;
inline constexpr int kSendError = 13;
inline constexpr int kRunStillActive = 14;
inline constexpr int kPathTooLong = 15;
inline constexpr int kNotPlainFileName = 16;
inline constexpr int kFolderPathTooLong = 17;
inline constexpr int kNoConnectCaption = 18;
}  // namespace boxmsg
