// A download that survives a connection cut partway: it is continued from
// the byte it reached, after a pause that grows with each try, a bounded
// number of times. The caller checks the whole file afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "updateservice/http_client.h"

struct ResumeBounds {
  // Tries after the first cut: with pauses of 1, 2 and 4 s the whole
  // download gives up at most 7 s (plus the transfers) after its first cut.
  int retries = 3;
  int firstPauseMs = 1000;  // doubled before each further try
};

struct ResumeHooks {
  // Sleeps the given milliseconds (the program's sleep service); pauses are
  // taken in slices of at most a quarter second. Null: no try is repeated.
  std::function<void(int milliseconds)> pause;
  // Asked between slices of a pause; true gives the download up as it is.
  std::function<bool()> stopRequested;
};

// GETs url into filePath; when the answer breaks off, asks for the rest
// (see IHttpClient::resumeToFile) up to bounds.retries times. Returns the
// last try's result.
HttpResult downloadResuming(IHttpClient& http, const std::string& url, const std::string& filePath,
                            IHttpProgress* progress, const ResumeHooks& hooks,
                            ResumeBounds bounds = {});
