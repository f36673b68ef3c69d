#include "update_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <sys/socket.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>

#include "served_path.h"

namespace fs = std::filesystem;

namespace devsim {
namespace {

constexpr std::size_t kChunkSize = 64 * 1024;

bool isLoopbackIPv4(const std::string& address) {
  in_addr parsed{};
  if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) return false;
  return (ntohl(parsed.s_addr) >> 24) == 127;
}

std::string contentTypeFor(const fs::path& file) {
  return file.extension() == ".txt" ? "text/plain" : "application/octet-stream";
}

}  // namespace

struct UpdateServer::Impl {
  std::string rootFolder;
  std::string address;
  int requestedPort = 0;
  int boundPort = 0;
  fs::path root;  // canonical, set by start

  std::unique_ptr<httplib::Server> server;
  std::thread thread;
  std::atomic<bool> loopEnded{true};

  mutable std::mutex mutex;  // guards the knobs and the log below
  std::string failPrefix;
  int failStatus = 500;
  std::chrono::milliseconds delay{0};
  std::optional<std::size_t> cutAfter;
  std::vector<std::string> log;

  void serveFile(const httplib::Request& request, httplib::Response& response);
};

void UpdateServer::Impl::serveFile(const httplib::Request& request, httplib::Response& response) {
  std::chrono::milliseconds wait;
  std::optional<std::size_t> cut;
  {
    std::lock_guard lock(mutex);
    log.push_back(request.path);
    wait = delay;
    cut = cutAfter;
    if (!failPrefix.empty() && request.path.rfind(failPrefix, 0) == 0) {
      response.status = failStatus;
      response.set_content("injected failure\n", "text/plain");
      return;
    }
  }
  if (wait.count() > 0) std::this_thread::sleep_for(wait);

  const std::optional<fs::path> file = resolveServedFile(root, request.path);
  std::error_code ec;
  const std::uintmax_t size = file ? fs::file_size(*file, ec) : 0;
  auto stream = file && !ec ? std::make_shared<std::ifstream>(*file, std::ios::binary) : nullptr;
  if (!stream || !*stream) {
    response.status = 404;
    response.set_content("not found\n", "text/plain");
    return;
  }
  // The body is read chunk by chunk as the connection takes it, never whole.
  response.set_content_provider(
      static_cast<std::size_t>(size), contentTypeFor(*file),
      [stream, cut](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        if (cut && offset >= *cut) return false;  // drops the connection
        std::size_t want = std::min(length, kChunkSize);
        if (cut) want = std::min(want, *cut - offset);
        char buffer[kChunkSize];
        stream->seekg(static_cast<std::streamoff>(offset));
        stream->read(buffer, static_cast<std::streamsize>(want));
        const auto got = static_cast<std::size_t>(stream->gcount());
        if (got == 0) return false;  // the file shrank under us
        return sink.write(buffer, got);
      });
}

UpdateServer::UpdateServer(std::string rootFolder, std::string address, int port)
    : impl_(std::make_unique<Impl>()) {
  impl_->rootFolder = std::move(rootFolder);
  impl_->address = std::move(address);
  impl_->requestedPort = port;
}

UpdateServer::~UpdateServer() { stop(); }

bool UpdateServer::start(std::string* error) {
  auto fail = [&](const std::string& message) {
    if (error) *error = message;
    impl_->server.reset();
    return false;
  };
  if (impl_->thread.joinable()) return fail("update server already running");
  if (!isLoopbackIPv4(impl_->address)) {
    return fail("update server binds loopback only, not " + impl_->address);
  }
  std::error_code ec;
  impl_->root = fs::canonical(impl_->rootFolder, ec);
  if (ec || !fs::is_directory(impl_->root)) {
    return fail("update server folder not found: " + impl_->rootFolder);
  }

  impl_->server = std::make_unique<httplib::Server>();
  httplib::Server& server = *impl_->server;
  Impl* impl = impl_.get();
  server.Get(".*", [impl](const httplib::Request& request, httplib::Response& response) {
    impl->serveFile(request, response);
  });
  const httplib::Server::Handler refuse = [](const httplib::Request&, httplib::Response& response) {
    response.status = 405;
    response.set_header("Allow", "GET, HEAD");
  };
  server.Post(".*", refuse).Put(".*", refuse).Patch(".*", refuse).Delete(".*", refuse);
  server.Options(".*", refuse);
  server.set_read_timeout(5, 0).set_write_timeout(5, 0);
  // The library's default adds SO_REUSEPORT, which would let a second server
  // share a busy port and take half its requests; reusing the address of a
  // closed server is all a restart needs.
  server.set_socket_options([](int sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });

  if (impl_->requestedPort == 0) {
    impl_->boundPort = server.bind_to_any_port(impl_->address);
    if (impl_->boundPort <= 0) return fail("cannot bind " + impl_->address);
  } else {
    if (!server.bind_to_port(impl_->address, impl_->requestedPort)) {
      return fail("cannot bind " + impl_->address + ":" + std::to_string(impl_->requestedPort));
    }
    impl_->boundPort = impl_->requestedPort;
  }
  // The socket listens from here on: clients may connect before the thread
  // reaches its accept loop.
  impl_->loopEnded = false;
  impl_->thread = std::thread([impl] {
    impl->server->listen_after_bind();
    impl->loopEnded = true;
  });
  return true;
}

void UpdateServer::stop() {
  if (!impl_->thread.joinable()) return;
  // The library ignores a stop that comes before its accept loop has begun,
  // so it is repeated until the loop has ended.
  while (!impl_->loopEnded) {
    impl_->server->stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  impl_->thread.join();
  impl_->server.reset();
}

int UpdateServer::port() const { return impl_->boundPort; }

void UpdateServer::failPathsStartingWith(const std::string& prefix, int status) {
  std::lock_guard lock(impl_->mutex);
  impl_->failPrefix = prefix;
  impl_->failStatus = status;
}

void UpdateServer::setResponseDelay(std::chrono::milliseconds delay) {
  std::lock_guard lock(impl_->mutex);
  impl_->delay = delay;
}

void UpdateServer::cutBodiesAfter(std::optional<std::size_t> bytes) {
  std::lock_guard lock(impl_->mutex);
  impl_->cutAfter = bytes;
}

std::vector<std::string> UpdateServer::requestedPaths() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->log;
}

void UpdateServer::clearRequestLog() {
  std::lock_guard lock(impl_->mutex);
  impl_->log.clear();
}

}  // namespace devsim
