// What the web fetches leave behind them: which fetches may still change the
// window, the message label's address and the browser that opens it. A
// member of AppState.
#pragma once

#include <QString>

#include "updateservice/web_fetch.h"

struct WebMessagesState {
  // Which history and message fetches may still change the window.
  WebFetchRounds rounds;
  // Where a click on the message label goes.
  QString address;
  // The default browser, looked up when the window is first shown.
  QString browserPath;
};
