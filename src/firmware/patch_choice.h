// What the program can tell about a chosen patch before the device sees it.
#pragma once

#include <string>

// True when the file reads as a patch made for other hardware than
// deviceHardware (compared on the 16 bytes a patch stores). A file that is
// not a readable patch is left to the device to judge: false.
bool patchIsForOtherHardware(const std::string& patchPath, const std::string& deviceHardware);
