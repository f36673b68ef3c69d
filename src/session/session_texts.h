// Message-list indices of the session's buttons (texts via msgText).
#pragma once

namespace sessionmsg {
inline constexpr int kLoginButtonLogin = 0;         // LoginButton: no device logged in
inline constexpr int kLoginButtonChangeDevice = 1;  // LoginButton: a device is logged in
inline constexpr int kSearchButtonIdle = 0;         // DevSearch
inline constexpr int kSearchButtonSearching = 1;    // DevSearch: a search is running
}  // namespace sessionmsg
