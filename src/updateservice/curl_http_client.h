// IHttpClient on libcurl: each request gets a fresh handle, no header of our
// own, no proxy, no redirects. A connection that does not open in time, or a
// transfer that stops delivering bytes, fails with an empty status line
// instead of hanging the window.
#pragma once

#include "updateservice/http_client.h"

struct HttpTimeouts {
  long connectMs = 5000;
  // A transfer that delivers no byte for this long is given up.
  long stallMs = 15000;
};

class CurlHttpClient final : public IHttpClient {
 public:
  explicit CurlHttpClient(HttpTimeouts timeouts = {});
  HttpResult getToMemory(const std::string& url, std::string* body) override;
  HttpResult getToFile(const std::string& url, const std::string& filePath,
                       IHttpProgress* progress) override;

 private:
  HttpTimeouts timeouts_;
};
