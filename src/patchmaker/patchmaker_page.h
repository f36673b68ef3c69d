// What the device library's callbacks do on the patch maker page while
// MakePatch runs. Each runs on the window's thread.
#pragma once

#include <cstdint>

class TMainForm;

// Channel 90: the make's progress, 0 to 100, onto the page's gauge.
void showPatchMakerProgress(TMainForm& form, int value);

// The library asks for file `index` (1-based): the files of the list in
// order, then the rule script; any other index gets no answer.
void answerFileToPatch(TMainForm& form, char* name, char* info, std::int32_t index);
