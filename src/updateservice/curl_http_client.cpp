#include "updateservice/curl_http_client.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string_view>

#include "updateservice/curl_library.h"

namespace {

// The catalogue is a few kilobytes; anything far larger is not one.
constexpr std::uint64_t kMaxMemoryBody = 16 * 1024 * 1024;
constexpr long kReceiveBufferBytes = 128 * 1024;
// Progress is reported about every hundredth of the file, at least this far
// apart, so that a large download does not repaint the window thousands of
// times.
constexpr std::uint64_t kMinProgressStep = 64 * 1024;

struct CurlFree {
  const CurlLibrary* curl;
  void operator()(CURL* handle) const { curl->easy_cleanup(handle); }
};
struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

bool isSuccess(long status) { return status >= 200 && status <= 299; }

// One request's state, shared with libcurl's callbacks.
struct Transfer {
  const CurlLibrary* curl = nullptr;
  CURL* handle = nullptr;
  std::chrono::milliseconds stallLimit{0};
  std::chrono::steady_clock::time_point lastByteAt = std::chrono::steady_clock::now();
  curl_off_t bytesSeen = 0;
  std::string statusLine;  // the last one seen
  std::string* body = nullptr;
  std::FILE* file = nullptr;
  IHttpProgress* progress = nullptr;
  bool started = false;
  std::uint64_t expected = 0, received = 0, reported = 0;

  long status() const {
    long code = 0;
    curl->easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &code);
    return code;
  }

  void start() {
    started = true;
    curl_off_t length = -1;
    curl->easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    expected = length > 0 ? static_cast<std::uint64_t>(length) : 0;
    if (progress) progress->transferStarted(expected);
  }

  void report(bool last) {
    if (!progress || received == reported) return;
    const std::uint64_t step = std::max(kMinProgressStep, expected / 100);
    if (last || received - reported >= step || received == expected) {
      reported = received;
      progress->transferProgress(received, expected);
    }
  }
};

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    t->statusLine = std::string(line);
  } else if ((line == "\r\n" || line == "\n") && isSuccess(t->status()) && !t->started) {
    t->start();  // the headers of the final response are complete
  }
  return size * count;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (!isSuccess(t->status())) return bytes;  // an error page is not the file
  if (!t->started) t->start();
  if (t->body) {
    if (t->body->size() + bytes > kMaxMemoryBody) return 0;  // aborts the transfer
    t->body->append(data, bytes);
  } else if (t->file && std::fwrite(data, 1, bytes, t->file) != bytes) {
    return 0;
  }
  t->received += bytes;
  t->report(false);
  return bytes;
}

// libcurl's own low-speed check averages over five seconds and so notices
// silence late; this one gives up once no byte has come for the limit.
int onTick(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  const auto now = std::chrono::steady_clock::now();
  if (downloaded != t->bytesSeen) {
    t->bytesSeen = downloaded;
    t->lastByteAt = now;
    return 0;
  }
  return now - t->lastByteAt > t->stallLimit ? 1 : 0;  // 1 aborts the transfer
}

HttpResult perform(const std::string& url, const HttpTimeouts& timeouts, Transfer& t) {
  const CurlLibrary* curl = curlLibrary();
  if (!curl) return {};  // as if no server had answered
  std::unique_ptr<CURL, CurlFree> handle(curl->easy_init(), CurlFree{curl});
  if (!handle) return {};
  t.curl = curl;
  t.handle = handle.get();
  t.stallLimit = std::chrono::milliseconds(timeouts.stallMs);
  CURL* h = handle.get();
  curl->easy_setopt(h, CURLOPT_URL, url.c_str());
  curl->easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http");
  // The update server is named by address; a proxy from the environment
  // would send the request elsewhere.
  curl->easy_setopt(h, CURLOPT_PROXY, "");
  curl->easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl->easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  curl->easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, timeouts.connectMs);
  curl->easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl->easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onTick);
  curl->easy_setopt(h, CURLOPT_XFERINFODATA, &t);
  curl->easy_setopt(h, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  curl->easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
  curl->easy_setopt(h, CURLOPT_HEADERDATA, &t);
  curl->easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
  curl->easy_setopt(h, CURLOPT_WRITEDATA, &t);

  const CURLcode code = curl->easy_perform(h);
  if (code != CURLE_OK) return {false, {}};  // no response, or it broke off
  if (!isSuccess(t.status())) return {false, t.statusLine};
  if (!t.started) t.start();  // an empty body still starts and ends
  t.report(true);
  return {true, t.statusLine};
}

}  // namespace

CurlHttpClient::CurlHttpClient(HttpTimeouts timeouts) : timeouts_(timeouts) {}

HttpResult CurlHttpClient::getToMemory(const std::string& url, std::string* body) {
  body->clear();
  Transfer t;
  t.body = body;
  return perform(url, timeouts_, t);
}

HttpResult CurlHttpClient::getToFile(const std::string& url, const std::string& filePath,
                                     IHttpProgress* progress) {
  HttpResult result;
  {
    std::unique_ptr<std::FILE, FileClose> file(std::fopen(filePath.c_str(), "wb"));
    if (file) {
      Transfer t;
      t.file = file.get();
      t.progress = progress;
      result = perform(url, timeouts_, t);
      // A file that cannot be completed on disk is a failed download.
      if (std::fclose(file.release()) != 0) result = {false, {}};
    }
  }
  if (progress) progress->transferEnded();
  return result;
}
