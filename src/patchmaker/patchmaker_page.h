// The patch maker page's functions for the device library's callbacks. They
// run on the window's thread and do nothing once `form` is not the window.
#pragma once

#include <QString>

class TMainForm;

// The maker's progress, 0-100.
void showPatchMakerProgress(TMainForm* form, int value);
// Entry `index` (1-based) of the files to patch, the rule script last: its
// name and path. False when there is no such entry.
bool patchMakerEntry(TMainForm* form, int index, QString* name, QString* path);
