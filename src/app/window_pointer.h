// The one main window of the process, for code that must not include
// mainform.h: the device library's callbacks reach the window through it,
// and page functions compare against it to skip a window that has gone.
#pragma once

class TMainForm;

extern TMainForm* MainForm;

// Window-level page function: the download speed of slot 1-4 in KB/s.
void showTransferSpeed(TMainForm* form, int slot, int value);
