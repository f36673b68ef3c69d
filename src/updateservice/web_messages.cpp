// Web messages and the update history from the update server.
#include "app/mainform.h"

// The update server's history and rotating messages are not fetched yet;
// these are the places where the window asks for them.
void TMainForm::LookUpDefaultBrowser() {}
void TMainForm::StartWebMessageFetch() {}
void TMainForm::StartPatchHistoryFetch(const QString&) {}
