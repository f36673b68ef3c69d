// Entries of the "Signing" message list. "%1" stands for a name.
#pragma once

namespace signmsg {

inline constexpr int kNotVerified = 0;
inline constexpr int kCatalogueNotTrusted = 1;
inline constexpr int kCatalogueMismatch = 2;
inline constexpr int kFileNotTrusted = 3;
inline constexpr int kFileMismatch = 4;
inline constexpr int kSignedBy = 5;
inline constexpr int kRefused = 6;

}  // namespace signmsg
