// The firmware page's two fetches from the update server, each run on a
// short-lived thread of its own: the update history after a login and a
// message at random for the page's link. Their results go to the window.
#pragma once

#include <string>
#include <vector>

#include "updateservice/web_messages.h"

class IHttpClient;
class IRandom;
class IClock;

struct HistoryFetch {
  bool ok = false;
  std::vector<std::string> lines;  // on success
  bool cut = false;                // the history went on beyond its bounds
  std::string statusLine;          // on failure; empty when no response came
};

// Asks for the history of hardwareName (not an unknown one).
HistoryFetch fetchPatchHistory(IHttpClient& http, const std::string& serverHost,
                               const std::string& hardwareName);

struct MessageFetch {
  enum Kind {
    Failed,     // no file, or one that cannot be taken apart
    NoMessage,  // the file offers none
    Drawn,      // message holds the one drawn
  } kind = Failed;
  WebMessage message;
};

// Asks for the message file and draws one of its messages: the generator is
// seeded from the clock, then a number from 1 to the count is drawn.
MessageFetch fetchWebMessage(IHttpClient& http, const std::string& serverHost, IRandom& random,
                             IClock& clock);

// Which fetch's result the window still wants. Every fetch gets a round
// number when it starts; only the latest of its kind may change the window,
// so that an older answer arriving late (two logins, a login and a tick)
// cannot mix with a newer one. Once the window closes, none may.
class WebFetchRounds {
 public:
  int startHistory() { return ++history_; }
  int startMessage() { return ++message_; }
  bool historyWanted(int round) const { return !closed_ && round == history_; }
  bool messageWanted(int round) const { return !closed_ && round == message_; }
  void close() { closed_ = true; }

 private:
  int history_ = 0;
  int message_ = 0;
  bool closed_ = false;
};

// Fetch threads of the process still running. The program's way out waits
// for them (each is bounded by the HTTP client's timeouts), so that none
// outlives the services it uses.
void webFetchStarted();
void webFetchEnded();
bool webFetchRunning();
