// A scripted update server for window tests: answers from a table of URLs,
// writes file bodies the way a download does and reports its progress in
// two steps. Requests are recorded. Requests may come from several threads
// (the web fetches run on their own).
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
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
    if (beforeAnswer) beforeAnswer(url);
    const Answer a = record(url);
    if (a.ok) *body = a.body;
    return {a.ok, a.statusLine};
  }

  HttpResult getToFile(const std::string& url, const std::string& filePath,
                       IHttpProgress* progress) override {
    const Answer a = record(url);
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
  // Runs on the requesting thread before a request into memory is answered
  // (a test can hold a fetch there).
  std::function<void(const std::string& url)> beforeAnswer;

  // The URLs asked so far; safe while fetches run.
  std::vector<std::string> requested() const {
    std::lock_guard lock(mutex_);
    return urls;
  }
  // Sets the answer for url; safe while fetches run.
  void answer(const std::string& url, const Answer& a) {
    std::lock_guard lock(mutex_);
    answers[url] = a;
  }

 private:
  Answer record(const std::string& url) {
    std::lock_guard lock(mutex_);
    urls.push_back(url);
    return answerFor(url);
  }
  mutable std::mutex mutex_;
  Answer answerFor(const std::string& url) const {
    auto it = answers.find(url);
    if (it != answers.end()) return it->second;
    return Answer{"", "HTTP/1.1 404 Not Found", false};
  }
};
