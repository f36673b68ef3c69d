// Entries of the "UpdateServer" message list: why the update server could
// not be used, said after "Connect to Updateserver failed", and the few
// other texts of the online update. "%1" stands for a name.
#pragma once

namespace servermsg {

inline constexpr int kNoAnswer = 0;
inline constexpr int kNoFirmwareFor = 1;
inline constexpr int kStoppedSending = 2;
inline constexpr int kTooSlow = 3;
inline constexpr int kTooLarge = 4;
inline constexpr int kDiskFull = 5;
inline constexpr int kCannotWrite = 6;
inline constexpr int kCatalogueUnreadable = 7;
inline constexpr int kCatalogueWithoutFiles = 8;
inline constexpr int kNoWorkFolder = 9;
inline constexpr int kCannotReadBack = 10;
inline constexpr int kCannotPack = 11;
inline constexpr int kFileMissing = 12;
inline constexpr int kCloseDuringCheck = 13;
inline constexpr int kHistoryCut = 14;
inline constexpr int kMessageCut = 15;
inline constexpr int kCertificateNotTrusted = 16;
inline constexpr int kNameMismatch = 17;
inline constexpr int kNoSecureConnection = 18;

}  // namespace servermsg
