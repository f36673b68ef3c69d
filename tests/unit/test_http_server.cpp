#include "test_http_server.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

struct TestHttpServer::Impl {
  httplib::Server server;
  std::string address;
  int port = 0;
  std::thread thread;
  std::atomic<bool> loopEnded{false};
  std::atomic<bool> stopping{false};

  mutable std::mutex mutex;
  std::map<std::string, std::string> bodies;
  std::map<std::string, int> failures;
  std::map<std::string, std::size_t> stalls;
  std::map<std::string, std::pair<std::chrono::milliseconds, std::size_t>> drips;
  std::map<std::string, std::size_t> endlessBodies;
  std::map<std::string, std::size_t> cutsOnce;
  std::map<std::string, bool> rangesIgnored;
  std::vector<std::string> log;
  std::vector<std::string> rangeLog;

  // Sleeps for the time unless the server is stopping; false then.
  bool pause(std::chrono::milliseconds time) const {
    const auto until = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < until) {
      if (stopping) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return !stopping;
  }

  void answer(const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex);
    // The target as sent: the library decodes request.path.
    log.push_back(request.target);
    rangeLog.push_back(request.get_header_value("Range"));
    // Without ranges the library answers 200 with the whole body.
    if (rangesIgnored.count(request.path)) const_cast<httplib::Request&>(request).ranges.clear();
    if (auto f = failures.find(request.path); f != failures.end()) {
      response.status = f->second;
      response.set_content("error page\n", "text/plain");
      return;
    }
    if (auto e = endlessBodies.find(request.path); e != endlessBodies.end()) {
      const std::size_t limit = e->second;
      response.set_chunked_content_provider(
          "application/octet-stream", [this, limit](std::size_t offset, httplib::DataSink& sink) {
            static const std::string block(64 * 1024, 'e');
            if (offset >= limit || stopping) {
              sink.done();
              return true;
            }
            return sink.write(block.data(), block.size());
          });
      return;
    }
    auto b = bodies.find(request.path);
    if (b == bodies.end()) {
      response.status = 404;
      response.set_content("not found\n", "text/plain");
      return;
    }
    if (auto d = drips.find(request.path); d != drips.end()) {
      const std::string body = b->second;
      const auto [every, piece] = d->second;
      const auto began = std::chrono::steady_clock::now();
      response.set_content_provider(
          body.size(), "application/octet-stream",
          [this, body, every, piece, began](std::size_t offset, std::size_t,
                                            httplib::DataSink& sink) {
            if (std::chrono::steady_clock::now() - began > std::chrono::seconds(20)) return false;
            if (!pause(every)) return false;
            return sink.write(body.data() + offset, std::min(piece, body.size() - offset));
          });
      return;
    }
    if (auto c = cutsOnce.find(request.path); c != cutsOnce.end()) {
      const std::string body = b->second;
      const std::size_t sendOnly = c->second;
      cutsOnce.erase(c);
      response.set_content_provider(
          body.size(), "application/octet-stream",
          [body, sendOnly](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            if (offset >= sendOnly) return false;  // drops the connection
            return sink.write(body.data() + offset, sendOnly - offset);
          });
      return;
    }
    auto s = stalls.find(request.path);
    if (s == stalls.end()) {
      response.set_content(b->second, "application/octet-stream");
      return;
    }
    const std::string body = b->second;
    const std::size_t sendOnly = s->second;
    response.set_content_provider(
        body.size(), "application/octet-stream",
        [this, body, sendOnly](std::size_t offset, std::size_t, httplib::DataSink& sink) {
          if (offset < sendOnly) return sink.write(body.data() + offset, sendOnly - offset);
          // Silence, bounded so that a broken test cannot hang for ever.
          for (int i = 0; i < 3000 && !stopping; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          return false;
        });
  }
};

TestHttpServer::TestHttpServer(const std::string& address) : impl_(std::make_unique<Impl>()) {
  Impl* impl = impl_.get();
  impl->address = address;
  impl->server.Get(".*", [impl](const httplib::Request& request, httplib::Response& response) {
    impl->answer(request, response);
  });
  impl->port = impl->server.bind_to_any_port(address);
  impl->thread = std::thread([impl] {
    impl->server.listen_after_bind();
    impl->loopEnded = true;
  });
}

TestHttpServer::~TestHttpServer() {
  impl_->stopping = true;
  // A stop before the accept loop has begun is ignored: repeat it.
  while (!impl_->loopEnded) {
    impl_->server.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  impl_->thread.join();
}

std::string TestHttpServer::host() const {
  return impl_->address + ":" + std::to_string(impl_->port);
}

void TestHttpServer::put(const std::string& path, const std::string& body) {
  std::lock_guard lock(impl_->mutex);
  impl_->bodies[path] = body;
}

void TestHttpServer::fail(const std::string& path, int status) {
  std::lock_guard lock(impl_->mutex);
  impl_->failures[path] = status;
}

void TestHttpServer::stallAfter(const std::string& path, std::size_t bytes) {
  std::lock_guard lock(impl_->mutex);
  impl_->stalls[path] = bytes;
}

void TestHttpServer::drip(const std::string& path, std::chrono::milliseconds every,
                          std::size_t bytes) {
  std::lock_guard lock(impl_->mutex);
  impl_->drips[path] = {every, bytes};
}

void TestHttpServer::endless(const std::string& path, std::size_t limit) {
  std::lock_guard lock(impl_->mutex);
  impl_->endlessBodies[path] = limit;
}

void TestHttpServer::cutOnceAfter(const std::string& path, std::size_t bytes) {
  std::lock_guard lock(impl_->mutex);
  impl_->cutsOnce[path] = bytes;
}

void TestHttpServer::ignoreRanges(const std::string& path) {
  std::lock_guard lock(impl_->mutex);
  impl_->rangesIgnored[path] = true;
}

std::vector<std::string> TestHttpServer::ranges() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->rangeLog;
}

std::vector<std::string> TestHttpServer::requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->log;
}
