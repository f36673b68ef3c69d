// IHttpClient on libcurl: each request gets a fresh handle, no header of our
// own but a resumed download's Range, no proxy, no redirects; https://
// servers must show a certificate that verifies. Every transfer is bounded in time and size,
// so that neither a slow nor an endless server can hold the window or the
// fleet, or fill the disk: failures come back with their HttpFailure.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "updateservice/http_client.h"

struct HttpLimits {
  long connectMs = 5000;
  // A transfer that delivers no byte for this long is given up.
  long stallMs = 15000;
  // A text (catalogue, history, messages) must arrive whole within this.
  long textMs = 30000;
  // A file must bring at least this many bytes a second, averaged over
  // every rateWindowMs of its transfer.
  std::uint64_t minFileBytesPerSecond = 10 * 1024;
  long rateWindowMs = 30000;
  // The catalogue is a few kilobytes; anything far larger is not one.
  std::uint64_t maxTextBytes = 16ull << 20;
  // A patch entry's size field holds 32 bits.
  std::uint64_t maxFileBytes = 0xFFFFFFFFull;
  // A download stops before the disk's free space falls below this.
  std::uint64_t diskReserveBytes = 64ull << 20;
};

class CurlHttpClient final : public IHttpClient {
 public:
  // caFile: the authorities an https:// server's certificate must lead to,
  // in PEM; empty: the system's store.
  explicit CurlHttpClient(HttpLimits limits = {}, std::string caFile = {});
  CurlHttpClient(const CurlHttpClient& other) : limits_(other.limits_), caFile_(other.caFile_) {}
  CurlHttpClient& operator=(const CurlHttpClient& other) {
    limits_ = other.limits_;
    caFile_ = other.caFile_;
    return *this;
  }
  HttpResult getToMemory(const std::string& url, std::string* body) override;
  HttpResult getToFile(const std::string& url, const std::string& filePath,
                       IHttpProgress* progress) override;
  HttpResult resumeToFile(const std::string& url, const std::string& filePath, std::uint64_t from,
                          IHttpProgress* progress) override;
  void abandonRequestsInFlight() override { ++generation_; }

 private:
  HttpResult fetchToFile(const std::string& url, const std::string& filePath,
                         std::optional<std::uint64_t> from, IHttpProgress* progress);

  HttpLimits limits_;
  std::string caFile_;
  // Each request remembers the generation it started in; a newer one means
  // it has been abandoned.
  std::atomic<unsigned> generation_{0};
};
