#include "updateservice/resumed_download.h"

#include <algorithm>
#include <filesystem>

namespace {

constexpr int kPauseSliceMs = 250;

// A cut after the answer began is worth resuming; later tries may also meet
// a server that is briefly gone or silent. Anything else (a status, a full
// disk, a refused certificate) would only fail again.
bool worthResuming(HttpFailure why, bool firstTry) {
  if (why == HttpFailure::BrokeOff) return true;
  return !firstTry && (why == HttpFailure::NoAnswer || why == HttpFailure::TooSlow);
}

std::uint64_t sizeOf(const std::string& filePath) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(filePath, ec);
  return ec ? 0 : size;
}

// False when the download is given up during the pause.
bool pauseFor(const ResumeHooks& hooks, int milliseconds) {
  for (int left = milliseconds; left > 0; left -= kPauseSliceMs) {
    if (hooks.stopRequested && hooks.stopRequested()) return false;
    hooks.pause(std::min(left, kPauseSliceMs));
  }
  return !(hooks.stopRequested && hooks.stopRequested());
}

}  // namespace

HttpResult downloadResuming(IHttpClient& http, const std::string& url, const std::string& filePath,
                            IHttpProgress* progress, const ResumeHooks& hooks,
                            ResumeBounds bounds) {
  HttpResult got = http.getToFile(url, filePath, progress);
  int pauseMs = bounds.firstPauseMs;
  for (int retry = 0; retry < bounds.retries && hooks.pause; ++retry, pauseMs *= 2) {
    if (got.ok || !worthResuming(failureOf(got), retry == 0)) break;
    if (!pauseFor(hooks, pauseMs)) break;
    got = http.resumeToFile(url, filePath, sizeOf(filePath), progress);
  }
  return got;
}
