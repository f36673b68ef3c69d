#include "update_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <set>
#include <thread>

#include "served_path.h"

namespace fs = std::filesystem;

namespace devsim {
namespace {

constexpr std::size_t kChunkSize = 64 * 1024;
constexpr auto kRequestReadLimit = std::chrono::seconds(5);  // the whole request, from connect
constexpr int kWriteTimeoutMs = 5000;  // a reader that takes nothing for this long is dropped
constexpr std::size_t kWorkers = 16;

using Clock = std::chrono::steady_clock;

// A connection's socket as httplib reads and writes it, with one deadline for
// everything read: a client that sends its request a byte at a time cannot
// hold a worker longer than the request read limit.
class DeadlineStream : public httplib::Stream {
 public:
  DeadlineStream(int fd, Clock::time_point readDeadline) : fd_(fd), readDeadline_(readDeadline) {}

  bool is_readable() const override {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(readDeadline_ - Clock::now());
    return left.count() > 0 && ready(POLLIN, static_cast<int>(left.count()));
  }
  bool is_writable() const override { return ready(POLLOUT, kWriteTimeoutMs); }
  ssize_t read(char* ptr, size_t size) override {
    if (!is_readable()) return -1;
    return ::recv(fd_, ptr, size, MSG_DONTWAIT);
  }
  ssize_t write(const char* ptr, size_t size) override {
    if (!is_writable()) return -1;
    return ::send(fd_, ptr, size, MSG_NOSIGNAL);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    address(::getpeername, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    address(::getsockname, ip, port);
  }
  socket_t socket() const override { return fd_; }

 private:
  bool ready(short events, int timeoutMs) const {
    pollfd p{fd_, events, 0};
    return ::poll(&p, 1, timeoutMs) > 0 && !(p.revents & POLLNVAL);
  }
  template <typename Query>
  void address(Query query, std::string& ip, int& port) const {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    char text[INET_ADDRSTRLEN] = "";
    if (query(fd_, reinterpret_cast<sockaddr*>(&a), &length) == 0)
      ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    ip = text;
    port = ntohs(a.sin_port);
  }

  int fd_;
  Clock::time_point readDeadline_;
};

// httplib's server, one request per connection, read through DeadlineStream.
// `prepare` sees each request after its headers are parsed, before routing.
class BoundedServer : public httplib::Server {
 public:
  explicit BoundedServer(std::function<void(httplib::Request&)> prepare)
      : prepare_(std::move(prepare)) {
    new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  }

 private:
  bool process_and_close_socket(socket_t sock) override {
    DeadlineStream stream(sock, Clock::now() + kRequestReadLimit);
    bool closed = false;
    bool ok = process_request(stream, /*close_connection=*/true, closed, prepare_);
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return ok;
  }

  std::function<void(httplib::Request&)> prepare_;
};

// The ranges fitted to a file of `size` bytes (RFC 9110, 14.1.2): a last
// position past the end stops at the last byte, a suffix becomes the file's
// last bytes, a range that starts past the end is left out. httplib writes
// Content-Range and Content-Length from these, so they match what is sent.
// Empty when no range can be served.
httplib::Ranges fittedRanges(const httplib::Ranges& ranges, std::uintmax_t size) {
  const auto end = static_cast<ssize_t>(size);
  httplib::Ranges fitted;
  for (auto [first, last] : ranges) {
    if (first < 0) {  // a suffix: the last `last` bytes
      if (last <= 0 || end == 0) continue;
      first = std::max<ssize_t>(0, end - last);
      last = end - 1;
    } else {
      if (first >= end) continue;
      if (last < 0 || last >= end) last = end - 1;
    }
    fitted.emplace_back(first, last);
  }
  return fitted;
}

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
  std::string certificateFile, keyFile;  // both set: HTTPS
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
  bool corrupt = false;
  bool cutOnceAtHalf = false;
  std::set<std::string> cutOnce;  // files whose one cut has happened
  UpdateServer::Signer signer;
  std::vector<std::string> log;

  // The signature the signer makes for a .minisig path that is no file.
  std::optional<std::string> signatureFor(const std::string& path);

  void fitRanges(httplib::Request& request);
  void serveFile(const httplib::Request& request, httplib::Response& response);
};

void UpdateServer::Impl::fitRanges(httplib::Request& request) {
  if (request.ranges.empty()) return;
  {
    // A failure reply is no file: ranges would only cut its text.
    std::lock_guard lock(mutex);
    if (!failPrefix.empty() && request.path.rfind(failPrefix, 0) == 0) {
      request.ranges.clear();
      return;
    }
  }
  const std::optional<fs::path> file = resolveServedFile(root, request.path);
  std::error_code ec;
  const std::uintmax_t size = file ? fs::file_size(*file, ec) : 0;
  if (!file || ec) {
    request.ranges.clear();  // answered 404, whole
    return;
  }
  request.ranges = fittedRanges(request.ranges, size);
}

std::optional<std::string> UpdateServer::Impl::signatureFor(const std::string& path) {
  static const std::string kSuffix = ".minisig";
  if (path.size() <= kSuffix.size() ||
      path.compare(path.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0 ||
      resolveServedFile(root, path))
    return std::nullopt;
  UpdateServer::Signer sign;
  {
    std::lock_guard lock(mutex);
    sign = signer;
  }
  const auto file = resolveServedFile(root, path.substr(0, path.size() - kSuffix.size()));
  if (!sign || !file) return std::nullopt;
  std::ifstream in(*file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return sign(bytes);
}

void UpdateServer::Impl::serveFile(const httplib::Request& request, httplib::Response& response) {
  std::chrono::milliseconds wait;
  std::optional<std::size_t> cut;
  bool corrupt = false;
  {
    std::lock_guard lock(mutex);
    log.push_back(request.path);
    wait = delay;
    cut = cutAfter;
    corrupt = this->corrupt;
    if (!failPrefix.empty() && request.path.rfind(failPrefix, 0) == 0) {
      response.status = failStatus;
      response.set_content("injected failure\n", "text/plain");
      return;
    }
  }
  if (wait.count() > 0) std::this_thread::sleep_for(wait);

  if (const auto signature = signatureFor(request.path)) {
    response.set_content(*signature, "text/plain");
    return;
  }
  const std::optional<fs::path> file = resolveServedFile(root, request.path);
  std::error_code ec;
  const std::uintmax_t size = file ? fs::file_size(*file, ec) : 0;
  auto stream = file && !ec ? std::make_shared<std::ifstream>(*file, std::ios::binary) : nullptr;
  if (!stream || !*stream) {
    response.status = 404;
    response.set_content("not found\n", "text/plain");
    return;
  }
  // Ranges were asked for and fitRanges left none that this file can serve.
  if (request.ranges.empty() && request.has_header("Range")) {
    response.status = 416;
    response.set_header("Content-Range", "bytes */" + std::to_string(size));
    return;
  }
  corrupt = corrupt && file->extension() != ".txt";
  if (file->extension() != ".txt" && request.ranges.empty() && size > 1) {
    std::lock_guard lock(mutex);
    if (cutOnceAtHalf && cutOnce.insert(request.path).second)
      cut = std::min<std::size_t>(cut.value_or(size), static_cast<std::size_t>(size / 2));
  }
  // The body is read chunk by chunk as the connection takes it, never whole.
  response.set_content_provider(
      static_cast<std::size_t>(size), contentTypeFor(*file),
      [stream, cut, corrupt](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        if (cut && offset >= *cut) return false;  // drops the connection
        std::size_t want = std::min(length, kChunkSize);
        if (cut) want = std::min(want, *cut - offset);
        char buffer[kChunkSize];
        stream->seekg(static_cast<std::streamoff>(offset));
        stream->read(buffer, static_cast<std::streamsize>(want));
        const auto got = static_cast<std::size_t>(stream->gcount());
        if (got == 0) return false;  // the file shrank under us
        if (corrupt && offset == 0) buffer[0] = static_cast<char>(buffer[0] ^ 0x5a);
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

  Impl* impl = impl_.get();
  if (impl_->certificateFile.empty()) {
    impl_->server = std::make_unique<BoundedServer>(
        [impl](httplib::Request& request) { impl->fitRanges(request); });
  } else {
    auto tls = std::make_unique<httplib::SSLServer>(impl_->certificateFile.c_str(),
                                                    impl_->keyFile.c_str());
    if (!tls->is_valid())
      return fail("cannot use certificate " + impl_->certificateFile + " with key " +
                  impl_->keyFile);
    tls->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    tls->set_keep_alive_max_count(1);
    tls->set_read_timeout(std::chrono::seconds(5));
    tls->set_write_timeout(std::chrono::milliseconds(kWriteTimeoutMs));
    // The library hands the parsed request to this hook before routing,
    // where the plain server's own hook fits its ranges; the request is
    // the library's own object, so it may be changed.
    tls->set_pre_routing_handler([impl](const httplib::Request& request, httplib::Response&) {
      impl->fitRanges(const_cast<httplib::Request&>(request));
      return httplib::Server::HandlerResponse::Unhandled;
    });
    impl_->server = std::move(tls);
  }
  httplib::Server& server = *impl_->server;
  server.Get(".*", [impl](const httplib::Request& request, httplib::Response& response) {
    impl->serveFile(request, response);
  });
  const httplib::Server::Handler refuse = [](const httplib::Request&, httplib::Response& response) {
    response.status = 405;
    response.set_header("Allow", "GET, HEAD");
  };
  server.Post(".*", refuse).Put(".*", refuse).Patch(".*", refuse).Delete(".*", refuse);
  server.Options(".*", refuse);
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

void UpdateServer::useTls(std::string certificateFile, std::string keyFile) {
  impl_->certificateFile = std::move(certificateFile);
  impl_->keyFile = std::move(keyFile);
}

void UpdateServer::cutFilesOnceAtHalf(bool on) {
  std::lock_guard lock(impl_->mutex);
  impl_->cutOnceAtHalf = on;
  impl_->cutOnce.clear();
}

void UpdateServer::signFilesWith(Signer signer) {
  std::lock_guard lock(impl_->mutex);
  impl_->signer = std::move(signer);
}

void UpdateServer::corruptFiles(bool on) {
  std::lock_guard lock(impl_->mutex);
  impl_->corrupt = on;
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
