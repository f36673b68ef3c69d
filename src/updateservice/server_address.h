// The update server: an IPv4 address with an optional port (plain HTTP),
// fixed at build time (TOVARIN_UPDATE_SERVER) and overridable with the
// programs' --update-server option, which also takes https://HOST[:PORT].
#pragma once

#include <optional>
#include <string>

// The build's setting.
std::string defaultUpdateServer();

// The server in the form the URLs are built on:
//   "A.B.C.D" or "A.B.C.D:PORT" (an optional "http://" dropped) for HTTP;
//   "https://HOST" or "https://HOST:PORT" for HTTPS, HOST an IPv4 address
//   or a DNS name (in lower case).
// Port 1 to 65535; one trailing "/" is allowed. nullopt for anything else
// (IPv6, user info, paths, names over plain HTTP).
std::optional<std::string> parseUpdateServer(const std::string& text);

// Whether a parsed server is reached over HTTPS.
bool isSecureUpdateServer(const std::string& serverHost);
