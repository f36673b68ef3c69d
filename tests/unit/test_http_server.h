// A small HTTP server on a loopback address for tests of the update
// server's client: files by path, injected status codes, and bodies that
// stall part way.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class TestHttpServer {
 public:
  // Binds a free port on the loopback address and serves at once.
  explicit TestHttpServer(const std::string& address = "127.0.0.1");
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  // "address:port", as the update server's host is given.
  std::string host() const;

  // Serves body at path (a request path such as "/IPC/47RKT/app.bin.patch").
  void put(const std::string& path, const std::string& body);
  // Answers path with the status and a short error page.
  void fail(const std::string& path, int status);
  // Announces the whole body of path but sends only its first bytes, then
  // stops sending until the server is destroyed.
  void stallAfter(const std::string& path, std::size_t bytes);

  // Announces the whole body of path and sends it `bytes` at a time, one
  // piece every `every`; a drip stops by itself after 20 s.
  void drip(const std::string& path, std::chrono::milliseconds every, std::size_t bytes = 1);
  // Answers path with a body of no announced length that goes on as fast as
  // it is taken, up to `limit` bytes (so that a broken test ends).
  void endless(const std::string& path, std::size_t limit);

  // The first request of path gets the whole body announced but only its
  // first bytes, then the connection is closed; later ones are served.
  void cutOnceAfter(const std::string& path, std::size_t bytes);
  // Answers every request of path with the whole body, Range or not.
  void ignoreRanges(const std::string& path);

  // Request paths in arrival order, as sent (still percent-encoded).
  std::vector<std::string> requests() const;
  // Each request's Range header ("" when it had none), in arrival order.
  std::vector<std::string> ranges() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
