// The program's two functions that the device library calls back. They may
// be called on any thread; every control change runs on the window's thread.
#pragma once

#include <cstdint>

#include "patchmaker/file_to_patch.h"  // commaTextOf

// Channels 1-4: download speeds into Speed1_Label..Speed4_Label; 90: the
// patch maker's gauge; 91: the update gauge, with the unpacking text at 40.
void CurProgressCallback(int32_t value, uint16_t channel);

// Fills the name and information buffers for file `index` (1-based) of the
// patch maker's list, the rule script last.
void GetFile2PatchCallback(char* name, char* info, int32_t index);
