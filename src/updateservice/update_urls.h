// Addresses on the update server: "http://" + host (or the https:// server
// as given) + "/IPC/" + a path built
// from the device's hardware name and the catalogue's file names. Both come
// from outside (the device, the server), so they are percent-encoded and can
// never add a path segment or a query.
#pragma once

#include <string>

// Every byte outside the unreserved set (letters, digits, "-", ".", "_",
// "~") becomes "%" and two upper-case hex digits.
std::string percentEncode(const std::string& text);

std::string catalogueUrl(const std::string& serverHost, const std::string& hardwareName);
// The server stores each file under its catalogue name with ".patch" added.
std::string updateFileUrl(const std::string& serverHost, const std::string& hardwareName,
                          const std::string& fileName);

// The update history of a hardware name: "<hardware>/PatchHistory_<hardware>.txt".
std::string patchHistoryUrl(const std::string& serverHost, const std::string& hardwareName);
// The message file "RandomMessages.txt" beside the hardware folders.
std::string webMessagesUrl(const std::string& serverHost);
