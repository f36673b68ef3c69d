// The update server is reached with plain HTTP GET requests. The window gets
// its client through the program's services, so tests can point it at a
// server of their own.
#pragma once

#include <cstdint>
#include <string>

// Why a request failed, so that the operator can be told more than a code.
enum class HttpFailure {
  None,
  NoAnswer,   // no connection, or no response came
  Status,     // the server answered with a status other than success
  BrokeOff,   // the response started and then stopped
  TooSlow,    // the transfer did not keep to its time bound
  TooLarge,   // the body grew beyond its size bound
  DiskFull,   // the local disk was (nearly) full
  LocalFile,  // the local file could not be written
  Abandoned,  // given up on purpose (the window closing, say)
  // HTTPS: the server's certificate does not lead to a trusted authority
  // (or is otherwise invalid: expired, not yet valid, self-signed).
  CertificateNotTrusted,
  // HTTPS: the certificate is trusted but made out for another name.
  NameMismatch,
  // HTTPS: no secure connection came about for another reason (no common
  // protocol, an unreadable CA file).
  SecureConnection,
};

struct HttpResult {
  bool ok = false;
  // The response's status line ("HTTP/1.1 404 Not Found") when a failed
  // request got one; empty when no response came or the transfer broke off.
  std::string statusLine;
  HttpFailure failure = HttpFailure::None;
};

// The failure of a request that did not succeed; a client that gives no
// reason is judged by its status line.
inline HttpFailure failureOf(const HttpResult& result) {
  if (result.ok) return HttpFailure::None;
  if (result.failure != HttpFailure::None) return result.failure;
  return result.statusLine.empty() ? HttpFailure::NoAnswer : HttpFailure::Status;
}

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
  // Continues a download that stopped after `from` bytes of filePath: asks
  // for the rest with a Range request and appends it. A server that sends
  // the whole file instead has it written from the start. progress counts
  // the whole file. A client that cannot ask for a part fetches it all.
  virtual HttpResult resumeToFile(const std::string& url, const std::string& filePath,
                                  std::uint64_t from, IHttpProgress* progress) {
    (void)from;
    return getToFile(url, filePath, progress);
  }
  // Makes the requests in flight fail soon (within about a second) with
  // HttpFailure::Abandoned; requests made later are not affected. Any
  // thread may call it.
  virtual void abandonRequestsInFlight() {}
};
