// The program's way out, shared by every tool that opens the real window.
#pragma once

class TMainForm;

// Closes the window as the operator closes it (its workers are stopped and
// waited for), then lets a device search that still reports to the window
// finish: the search waits on the window's thread, so the window and the
// application may go only after it has ended (one search window at most).
// Web fetches still running are abandoned and waited for (about a second).
void shutDownProgram(TMainForm& form);
