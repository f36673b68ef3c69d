// The update server's host: an IPv4 address with an optional port, fixed at
// build time (TOVARIN_UPDATE_SERVER) and overridable with the program's
// --update-server option.
#pragma once

#include <optional>
#include <string>

// The build's setting.
std::string defaultUpdateServer();

// "A.B.C.D" or "A.B.C.D:PORT" (port 1 to 65535) in the form the URL needs;
// nullopt for anything else (names, IPv6, user info, paths).
std::optional<std::string> parseUpdateServer(const std::string& text);
