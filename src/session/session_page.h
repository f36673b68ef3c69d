// The login panel's page functions, which the search worker reaches through
// its SearchPage. Each runs on
// the window's thread and does nothing once `form` is no longer the window.
#pragma once

class TMainForm;

// The search button shows the search running; the device tree empties.
void showSearchRunning(TMainForm* form);
// Posts the search's end notice; the window then lists the result.
void showSearchResult(TMainForm* form);
// Shows the device list's marks (no answer, shared identifiers) and its
// notice in the current language.
void showDeviceListMarks(TMainForm* form);
