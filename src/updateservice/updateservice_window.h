// The online update check and the web fetches as the rest of the window
// reaches them (defined in updateservice_handlers.cpp; window's thread only).
#pragma once

class TMainForm;

void connectUpdateServiceHandlers(TMainForm& form);

// Asked when the window is about to close during an online update check:
// false keeps it open; on true the check has been stopped.
bool confirmCloseDuringCheck(TMainForm& form);

// Stops a check in progress (its transfers are abandoned and what it
// downloaded removed), waits for its worker and frees it. The window keeps
// painting meanwhile.
void stopUpdateCheck(TMainForm& form);

// Abandons the web fetches' transfers and waits for their workers, which
// the window then frees. Used when the window goes.
void endWebFetches(TMainForm& form);
