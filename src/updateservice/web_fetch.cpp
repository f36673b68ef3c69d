#include "updateservice/web_fetch.h"

#include <atomic>
#include <mutex>

#include "common/services.h"
#include "updateservice/http_client.h"
#include "updateservice/update_urls.h"

namespace {
std::atomic<int> g_running{0};
}  // namespace

HistoryFetch fetchPatchHistory(IHttpClient& http, const std::string& serverHost,
                               const std::string& hardwareName) {
  std::string body;
  const HttpResult got = http.getToMemory(patchHistoryUrl(serverHost, hardwareName), &body);
  if (!got.ok) return {false, {}, false, got.statusLine};
  HistoryText history = historyLines(body);
  return {true, std::move(history.lines), history.cut, {}};
}

MessageFetch fetchWebMessage(IHttpClient& http, const std::string& serverHost, IRandom& random,
                             IClock& clock) {
  std::string file;
  if (!http.getToMemory(webMessagesUrl(serverHost), &file).ok) return {};
  const MessageCount count = messageCount(file);
  if (count.kind == MessageCount::None) return {MessageFetch::NoMessage, {}};
  if (count.kind == MessageCount::Unreadable) return {};
  int n = 1;
  {
    // Two fetches may draw at once; the generator is one for the process.
    static std::mutex oneDrawAtATime;
    std::lock_guard lock(oneDrawAtATime);
    random.seed(static_cast<std::uint64_t>(clock.nowMs()));
    n = random.between(1, count.value);
  }
  const auto message = messageNumber(file, n);
  if (!message) return {};
  return {MessageFetch::Drawn, *message};
}

void webFetchStarted() { ++g_running; }
void webFetchEnded() { --g_running; }
bool webFetchRunning() { return g_running.load() > 0; }
