// Small file helpers shared by the firmware, download and update code.
#pragma once

#include <string>

// MD5 of the file's whole content as 32 lower-case hex digits. Streams the
// file through one fixed buffer. Throws std::system_error with the platform's
// open error when the file cannot be opened (or a read fails).
std::string FileMd5Hex(const std::string& fileName);

// Empties a local folder: every file (hidden and read-only ones included) is
// deleted, sub-folders are emptied the same way and kept. Files that cannot
// be deleted are left without a message.
void ClearDirectory(const std::string& folder);
