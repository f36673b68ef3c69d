// The backtrack request: asks the device to return to its previous firmware
// at its next reboot. Runs on the window's thread and blocks it until the
// device has answered.
#pragma once

class TMainForm;

void requestBacktrack(TMainForm& form);
