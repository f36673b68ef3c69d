// The update server is reached with plain HTTP GET requests. The window gets
// its client through the program's services, so tests can point it at a
// server of their own.
#pragma once

#include <cstdint>
#include <string>

struct HttpResult {
  bool ok = false;
  // The response's status line ("HTTP/1.1 404 Not Found") when a failed
  // request got one; empty when no response came or the transfer broke off.
  std::string statusLine;
};

// Told about a download's course; every call comes on the requesting thread.
class IHttpProgress {
 public:
  virtual ~IHttpProgress() = default;
  // Once the response has started; expected is 0 when the server gave no
  // length.
  virtual void transferStarted(std::uint64_t expected) = 0;
  virtual void transferProgress(std::uint64_t received, std::uint64_t expected) = 0;
  // Once, after the last byte or the failure (also when nothing started).
  virtual void transferEnded() = 0;
};

class IHttpClient {
 public:
  virtual ~IHttpClient() = default;
  // GETs url into body; on success the body holds the whole response body.
  virtual HttpResult getToMemory(const std::string& url, std::string* body) = 0;
  // GETs url straight into the local file (created or overwritten; a failed
  // request leaves what arrived). progress may be null.
  virtual HttpResult getToFile(const std::string& url, const std::string& filePath,
                               IHttpProgress* progress) = 0;
};
