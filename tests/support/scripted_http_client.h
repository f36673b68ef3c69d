// A scripted update server for window tests: answers from a table of URLs,
// writes file bodies the way a download does and reports its progress in
// two steps. Requests are recorded.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "updateservice/http_client.h"

class ScriptedHttpClient final : public IHttpClient {
 public:
  struct Answer {
    std::string body;
    std::string statusLine = "HTTP/1.1 200 OK";
    bool ok = true;
    std::uint64_t announced = 0;  // 0: the body's size
  };

  HttpResult getToMemory(const std::string& url, std::string* body) override {
    urls.push_back(url);
    const Answer a = answerFor(url);
    if (a.ok) *body = a.body;
    return {a.ok, a.statusLine};
  }

  HttpResult getToFile(const std::string& url, const std::string& filePath,
                       IHttpProgress* progress) override {
    urls.push_back(url);
    const Answer a = answerFor(url);
    if (std::FILE* file = std::fopen(filePath.c_str(), "wb")) {
      if (a.ok) std::fwrite(a.body.data(), 1, a.body.size(), file);
      std::fclose(file);
    }
    const std::uint64_t size = a.announced ? a.announced : a.body.size();
    progress->transferStarted(size);
    progress->transferProgress(size / 2, size);
    if (onProgress) onProgress();
    if (a.ok) progress->transferProgress(size, size);
    progress->transferEnded();
    return {a.ok, a.statusLine};
  }

  // Unknown URLs get "HTTP/1.1 404 Not Found".
  std::map<std::string, Answer> answers;
  std::vector<std::string> urls;
  // Runs in the middle of every download.
  std::function<void()> onProgress;

 private:
  Answer answerFor(const std::string& url) const {
    auto it = answers.find(url);
    if (it != answers.end()) return it->second;
    return Answer{"", "HTTP/1.1 404 Not Found", false};
  }
};
