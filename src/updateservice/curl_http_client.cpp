#include "updateservice/curl_http_client.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <string_view>

#include "updateservice/curl_library.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kReceiveBufferBytes = 128 * 1024;
// Progress is reported about every hundredth of the file, at least this far
// apart, so that a large download does not repaint the window thousands of
// times; a slow one is reported at least this often, so the gauge moves.
constexpr std::uint64_t kMinProgressStep = 64 * 1024;
constexpr auto kProgressEvery = std::chrono::milliseconds(250);
// The disk's free space is looked at again after this much has been written.
constexpr std::uint64_t kDiskCheckStep = 1 << 20;
// Samples of the file's progress for its rate check, at most this often.
constexpr auto kRateSampleEvery = std::chrono::milliseconds(100);
// OpenSSL's verify results that mean the certificate names another host.
constexpr long kX509HostnameMismatch = 62;
constexpr long kX509IpAddressMismatch = 64;

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
  const HttpLimits* limits = nullptr;
  const std::atomic<unsigned>* generation = nullptr;
  unsigned startedIn = 0;
  Clock::time_point lastByteAt = Clock::now();
  curl_off_t bytesSeen = 0;
  // (time, bytes so far) over the last rate window, oldest first.
  std::deque<std::pair<Clock::time_point, std::uint64_t>> samples;
  std::string statusLine;  // the last one seen
  std::string* body = nullptr;
  std::FILE* file = nullptr;
  IHttpProgress* progress = nullptr;
  // A resumed download: the bytes already in the file, and the first byte
  // of the answer's Content-Range ("bytes FIRST-LAST/SIZE").
  bool rangeAsked = false;
  std::uint64_t offset = 0;
  std::optional<std::uint64_t> rangeFirst;
  char errorText[CURL_ERROR_SIZE] = {};
  bool started = false;
  std::uint64_t expected = 0, received = 0, reported = 0, diskCheckedAt = 0;
  Clock::time_point reportedAt = Clock::now();
  bool diskChecked = false;
  HttpFailure stoppedFor = HttpFailure::None;  // why a callback ended it

  long status() const {
    long code = 0;
    curl->easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &code);
    return code;
  }

  void start() {
    started = true;
    curl_off_t length = -1;
    curl->easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    expected = length > 0 ? offset + static_cast<std::uint64_t>(length) : 0;
    if (progress) progress->transferStarted(expected);
    if (progress && offset > 0) progress->transferProgress(offset, expected);
    reported = received;
  }

  // Sets the file up for the answer to a Range request once its headers
  // are in: a 206 from the asked byte continues it, a 200 (the server
  // ignores Range) starts it again. False when neither can be done.
  bool takeRangeAnswer() {
    if (status() == 206) return rangeFirst == offset;
    return restartFile();
  }
  bool restartFile() {
    if (std::fflush(file) != 0 || ::ftruncate(::fileno(file), 0) != 0 ||
        std::fseek(file, 0, SEEK_SET) != 0)
      return false;
    offset = received = 0;
    return true;
  }

  void report(bool last) {
    if (!progress || received == reported) return;
    const std::uint64_t step = std::max(kMinProgressStep, expected / 100);
    const auto now = Clock::now();
    if (last || received - reported >= step || received == expected ||
        now - reportedAt >= kProgressEvery) {
      reported = received;
      reportedAt = now;
      progress->transferProgress(received, expected);
    }
  }

  std::uint64_t maxBytes() const { return body ? limits->maxTextBytes : limits->maxFileBytes; }

  // False when the disk cannot take what is still to come and keep its
  // reserve (what the server announced, or at least the next step).
  bool diskHasRoom() {
    if (diskChecked && received - diskCheckedAt < kDiskCheckStep) return true;
    diskChecked = true;
    diskCheckedAt = received;
    struct statvfs disk {};
    if (::fstatvfs(::fileno(file), &disk) != 0) return true;  // cannot tell: go on
    const std::uint64_t free = std::uint64_t{disk.f_bavail} * disk.f_frsize;
    const std::uint64_t toCome = expected > received ? expected - received : kDiskCheckStep;
    return free >= limits->diskReserveBytes + toCome;
  }

  // Too slow once a whole rate window has brought less than the minimum.
  bool fileTooSlow(Clock::time_point now) {
    if (!file) return false;
    if (samples.empty() || now - samples.back().first >= kRateSampleEvery)
      samples.emplace_back(now, received);
    const auto window = std::chrono::milliseconds(limits->rateWindowMs);
    while (samples.size() >= 2 && samples[1].first <= now - window) samples.pop_front();
    const auto& [since, bytesThen] = samples.front();
    if (now - since < window) return false;
    const std::uint64_t needed =
        limits->minFileBytesPerSecond * static_cast<std::uint64_t>(limits->rateWindowMs) / 1000;
    return received - bytesThen < needed;
  }
};

int stop(Transfer* t, HttpFailure why) {
  t->stoppedFor = why;
  return 0;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

// FIRST of " bytes FIRST-LAST/SIZE"; nullopt for anything else.
std::optional<std::uint64_t> firstByteOfRange(std::string_view value) {
  while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  if (!startsWithNoCase(value, "bytes ")) return std::nullopt;
  value.remove_prefix(6);
  std::uint64_t first = 0;
  std::size_t digits = 0;
  for (; digits < value.size() && std::isdigit(static_cast<unsigned char>(value[digits])); ++digits)
    first = first * 10 + static_cast<std::uint64_t>(value[digits] - '0');
  if (digits == 0 || digits > 19 || digits >= value.size() || value[digits] != '-')
    return std::nullopt;
  return first;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    t->statusLine = std::string(line);
    t->rangeFirst.reset();
  } else if (t->rangeAsked && startsWithNoCase(line, "content-range:")) {
    t->rangeFirst = firstByteOfRange(line.substr(14));
  } else if ((line == "\r\n" || line == "\n") && isSuccess(t->status()) && !t->started) {
    // A part that does not start where the file stopped cannot be joined
    // to it: the file is emptied so that the next try fetches it whole.
    if (t->rangeAsked && !t->takeRangeAnswer()) {
      t->restartFile();
      return stop(t, HttpFailure::BrokeOff);
    }
    t->start();  // the headers of the final response are complete
    // A body announced beyond the bound is not fetched at all.
    if (t->expected > t->maxBytes()) return stop(t, HttpFailure::TooLarge);
  }
  return size * count;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (!isSuccess(t->status())) return bytes;  // an error page is not the file
  if (!t->started) t->start();
  if (t->received + bytes > t->maxBytes()) return stop(t, HttpFailure::TooLarge);
  if (t->body) {
    t->body->append(data, bytes);
  } else if (t->file) {
    if (!t->diskHasRoom()) return stop(t, HttpFailure::DiskFull);
    if (std::fwrite(data, 1, bytes, t->file) != bytes) return stop(t, HttpFailure::LocalFile);
  }
  t->received += bytes;
  t->report(false);
  return bytes;
}

// libcurl's own low-speed check averages over five seconds and so notices
// silence late; this one gives up once no byte has come for the limit. It
// also ends a file that is too slow on average, and an abandoned request.
int onTick(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  if (t->generation->load() != t->startedIn) {
    t->stoppedFor = HttpFailure::Abandoned;
    return 1;  // 1 aborts the transfer
  }
  const auto now = Clock::now();
  if (t->fileTooSlow(now)) {
    t->stoppedFor = HttpFailure::TooSlow;
    return 1;
  }
  if (downloaded != t->bytesSeen) {
    t->bytesSeen = downloaded;
    t->lastByteAt = now;
    return 0;
  }
  if (now - t->lastByteAt > std::chrono::milliseconds(t->limits->stallMs)) {
    t->stoppedFor = t->statusLine.empty() ? HttpFailure::NoAnswer : HttpFailure::BrokeOff;
    return 1;
  }
  return 0;
}

// Why the certificate was refused. libcurl checks the name itself once
// OpenSSL has found the chain good, and says so only in its error text
// ("no alternative certificate subject name matches target host name");
// OpenSSL's own verdict may also name a mismatch.
HttpFailure certificateFailure(const Transfer& t) {
  if (std::string_view(t.errorText).find("match") != std::string_view::npos)
    return HttpFailure::NameMismatch;
  long verdict = 0;
  t.curl->easy_getinfo(t.handle, CURLINFO_SSL_VERIFYRESULT, &verdict);
  if (verdict == kX509HostnameMismatch || verdict == kX509IpAddressMismatch)
    return HttpFailure::NameMismatch;
  return HttpFailure::CertificateNotTrusted;
}

HttpFailure failureOfCode(CURLcode code, const Transfer& t) {
  if (t.stoppedFor != HttpFailure::None) return t.stoppedFor;
  switch (code) {
    case CURLE_PEER_FAILED_VERIFICATION:
      return certificateFailure(t);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED:
      return HttpFailure::SecureConnection;
    default:
      break;
  }
  const bool answered = !t.statusLine.empty();
  if (code == CURLE_OPERATION_TIMEDOUT)
    return answered ? HttpFailure::TooSlow : HttpFailure::NoAnswer;
  return answered ? HttpFailure::BrokeOff : HttpFailure::NoAnswer;
}

HttpResult perform(const std::string& url, const HttpLimits& limits, const std::string& caFile,
                   const std::atomic<unsigned>& generation, Transfer& t) {
  const CurlLibrary* curl = curlLibrary();
  if (!curl) return {false, {}, HttpFailure::NoAnswer};  // as if no server had answered
  std::unique_ptr<CURL, CurlFree> handle(curl->easy_init(), CurlFree{curl});
  if (!handle) return {false, {}, HttpFailure::NoAnswer};
  t.curl = curl;
  t.handle = handle.get();
  t.limits = &limits;
  t.generation = &generation;
  t.startedIn = generation.load();
  t.samples.emplace_back(Clock::now(), t.received);
  CURL* h = handle.get();
  curl->easy_setopt(h, CURLOPT_URL, url.c_str());
  curl->easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  // An https:// server is only believed with a certificate that leads to a
  // trusted authority and names it; there is no way to switch this off.
  curl->easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl->easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!caFile.empty()) {
    curl->easy_setopt(h, CURLOPT_CAINFO, caFile.c_str());
    curl->easy_setopt(h, CURLOPT_CAPATH, static_cast<const char*>(nullptr));
  }
  curl->easy_setopt(h, CURLOPT_ERRORBUFFER, t.errorText);
  // curl's own resume refuses a server that ignores Range; asking for the
  // range directly lets the answer decide (see takeRangeAnswer).
  const std::string range = std::to_string(t.offset) + "-";
  if (t.rangeAsked) curl->easy_setopt(h, CURLOPT_RANGE, range.c_str());
  // The update server is named by address; a proxy from the environment
  // would send the request elsewhere.
  curl->easy_setopt(h, CURLOPT_PROXY, "");
  curl->easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl->easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  curl->easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, limits.connectMs);
  // A text is small: it arrives whole in its time or not at all.
  if (t.body) curl->easy_setopt(h, CURLOPT_TIMEOUT_MS, limits.textMs);
  curl->easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl->easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onTick);
  curl->easy_setopt(h, CURLOPT_XFERINFODATA, &t);
  curl->easy_setopt(h, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  curl->easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
  curl->easy_setopt(h, CURLOPT_HEADERDATA, &t);
  curl->easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
  curl->easy_setopt(h, CURLOPT_WRITEDATA, &t);

  const CURLcode code = curl->easy_perform(h);
  if (code != CURLE_OK) {
    // A status line is shown only for a response that came whole.
    const HttpFailure why = failureOfCode(code, t);
    return {false, why == HttpFailure::Status ? t.statusLine : std::string(), why};
  }
  if (!isSuccess(t.status())) return {false, t.statusLine, HttpFailure::Status};
  if (!t.started) t.start();  // an empty body still starts and ends
  t.report(true);
  return {true, t.statusLine};
}

}  // namespace

CurlHttpClient::CurlHttpClient(HttpLimits limits, std::string caFile)
    : limits_(limits), caFile_(std::move(caFile)) {}

HttpResult CurlHttpClient::getToMemory(const std::string& url, std::string* body) {
  body->clear();
  Transfer t;
  t.body = body;
  HttpResult result = perform(url, limits_, caFile_, generation_, t);
  if (!result.ok) body->clear();  // what came of a failed text is not kept
  return result;
}

HttpResult CurlHttpClient::getToFile(const std::string& url, const std::string& filePath,
                                     IHttpProgress* progress) {
  return fetchToFile(url, filePath, std::nullopt, progress);
}

HttpResult CurlHttpClient::resumeToFile(const std::string& url, const std::string& filePath,
                                        std::uint64_t from, IHttpProgress* progress) {
  return fetchToFile(url, filePath, from, progress);
}

HttpResult CurlHttpClient::fetchToFile(const std::string& url, const std::string& filePath,
                                       std::optional<std::uint64_t> from, IHttpProgress* progress) {
  HttpResult result{false, {}, HttpFailure::LocalFile};
  {
    std::unique_ptr<std::FILE, FileClose> file(
        std::fopen(filePath.c_str(), from && *from > 0 ? "r+b" : "wb"));
    // What lies beyond the resume point (there should be nothing) goes.
    const bool placed =
        file && (!from || *from == 0 ||
                 (::ftruncate(::fileno(file.get()), static_cast<off_t>(*from)) == 0 &&
                  std::fseek(file.get(), 0, SEEK_END) == 0));
    if (placed) {
      Transfer t;
      t.file = file.get();
      t.progress = progress;
      if (from && *from > 0) {
        t.rangeAsked = true;
        t.offset = t.received = t.reported = *from;
      }
      result = perform(url, limits_, caFile_, generation_, t);
      // A file that cannot be completed on disk is a failed download.
      if (std::fclose(file.release()) != 0 && result.ok)
        result = {false, {}, HttpFailure::LocalFile};
    }
  }
  if (progress) progress->transferEnded();
  return result;
}
