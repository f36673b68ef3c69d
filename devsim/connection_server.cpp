#include "connection_server.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "md5.h"
#include "messages.h"
#include "patch_install.h"
#include "socket_io.h"
#include "storage.h"

namespace devsim {

namespace {

using Clock = std::chrono::steady_clock;
using wire::MsgType;

// A connection that has not sent a whole first frame within 5 s, or no
// whole frame for the idle limit (120 s) since its last request, is closed:
// idle connections must not pile up and lock other clients out. A
// connection that logged in is an operator's session (the file page browses
// over it after minutes of reading), so it gets the long limit (30 min); the
// camera's per-client cap still bounds how many one client can hold.
constexpr auto kFirstFrameLimit = std::chrono::seconds(5);
constexpr int kTransferTimeoutMs = 30000;
constexpr std::size_t kBufferSize = 256 * 1024;
constexpr std::size_t kMaxListing = 100000;
constexpr auto kKeepAliveEvery = std::chrono::milliseconds(500);

// The connection's socket; sends from the session and its keep-alive helper
// are serialised.
class Link {
 public:
  Link(int fd, const std::atomic<bool>& stop) : fd_(fd), stop_(stop) {}
  bool send(MsgType type, const std::vector<std::uint8_t>& payload) {
    std::lock_guard lock(mutex_);
    return wire::sendFrame(fd_, type, payload, kTransferTimeoutMs) == wire::Io::Ok;
  }
  bool sendStatus(MsgType type, std::int32_t status) {
    wire::Writer w;
    w.i32(status);
    return send(type, w.data());
  }
  bool sendRaw(const void* data, std::size_t size) {
    std::lock_guard lock(mutex_);
    return wire::sendAll(fd_, data, size, kTransferTimeoutMs, &stop_) == wire::Io::Ok;
  }
  int fd() const { return fd_; }
  const std::atomic<bool>& stop() const { return stop_; }

 private:
  int fd_;
  const std::atomic<bool>& stop_;
  std::mutex mutex_;
};

// Sends a keep-alive every half second while it lives, so that the client
// does not take a long step for a silent device.
class KeepAlive {
 public:
  explicit KeepAlive(Link& link)
      : thread_([this, &link](std::stop_token st) {
          std::unique_lock lock(mutex_);
          while (!wake_.wait_for(lock, st, kKeepAliveEvery, [] { return false; }) &&
                 !st.stop_requested())
            link.send(MsgType::KeepAlive, {});
        }) {}

 private:
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::jthread thread_;  // last, so that it starts after the members it uses
};

class Session {
 public:
  Session(Device& device, int fd, const std::atomic<bool>& stop, const SessionOptions& options)
      : device_(device), link_(fd, stop), options_(options) {}

  void run() {
    auto deadline = Clock::now() + kFirstFrameLimit;
    for (;;) {
      wire::Frame f;
      wire::Io io = wire::recvFrame(link_.fd(), &f, kTransferTimeoutMs, &link_.stop(),
                                    wire::kMaxPayload, deadline);
      if (io == wire::Io::Malformed) {
        link_.sendStatus(MsgType::Error, wire::kStatusMalformed);
        return;
      }
      if (io != wire::Io::Ok) return;
      if (device_.faults().stall) continue;  // a hung device reads but never answers
      if (!handle(f)) return;
      deadline = Clock::now() + (loggedIn_ ? options_.loggedInIdleLimit : options_.idleLimit);
    }
  }

 private:
  bool malformed() {
    link_.sendStatus(MsgType::Error, wire::kStatusMalformed);
    return false;
  }

  bool handle(const wire::Frame& f) {
    switch (static_cast<MsgType>(f.type)) {
      case MsgType::Login:
        return login(f);
      case MsgType::Request:
        return request(f);
      case MsgType::PatchBegin:
        return patch(f);
      default:
        return malformed();
    }
  }

  bool login(const wire::Frame& f) {
    std::optional<wire::LoginRequest> request = wire::decodeLoginRequest(f);
    if (!request) return malformed();
    LoginAnswer a = device_.login(request->user, request->password);
    if (a.status == 0) loggedIn_ = true;
    wire::Writer w;
    w.i32(a.status).fixedText(a.hardware, wire::kHardwareWidth).i32(a.version);
    w.i32(a.updatePending).i32(a.backtrackAvailable);
    return link_.send(MsgType::LoginReply, w.data());
  }

  bool request(const wire::Frame& f) {
    std::optional<wire::PathRequest> request = wire::decodePathRequest(f);
    if (!request) return malformed();
    const std::string& path = request->path;
    switch (request->code) {
      case wire::kCodeListRoot:
        return list("");
      case wire::kCodeListDir:
        return list(path);
      case wire::kCodeGetFile:
      case wire::kCodeGetFileMd5:
        return sendFile(path, request->code == wire::kCodeGetFileMd5);
      case wire::kCodeBacktrack:
        return link_.sendStatus(MsgType::CommandReply,
                                device_.requestBacktrack() ? 0 : wire::kStatusRefused);
      case wire::kCodeReboot:
        device_.setOnline(false);  // from now on it answers no probe and takes no connection
        link_.sendStatus(MsgType::CommandReply, 0);
        if (options_.reboot) options_.reboot();
        return false;
      default:
        return malformed();
    }
  }

  bool sendListReply(std::int32_t status, const std::vector<ListEntry>& entries, std::size_t from,
                     std::size_t count) {
    wire::Writer w;
    w.i32(status).u16(static_cast<std::uint16_t>(count)).u16(0);
    for (std::size_t i = from; i < from + count; ++i) {
      w.u8(static_cast<std::uint8_t>(entries[i].kind));
      w.fixedText(entries[i].name, wire::kEntrySize - 1);  // 47 bytes, NUL unless full
    }
    return link_.send(MsgType::ListReply, w.data());
  }

  bool list(const std::string& path) {
    std::string folder;
    std::vector<ListEntry> entries;
    if (!resolveInside(device_.sdcard(), path, &folder) ||
        !listDirectory(folder, kMaxListing, &entries))
      return sendListReply(wire::kStatusNotFound, entries, 0, 0);
    for (std::size_t i = 0; i < entries.size(); i += wire::kMaxEntries) {
      std::size_t n = std::min(wire::kMaxEntries, entries.size() - i);
      if (!sendListReply(0, entries, i, n)) return false;
      if (device_.faults().dropListing) return false;  // the end never comes
    }
    return sendListReply(0, entries, 0, 0);  // no entries: the end
  }

  bool sendFileInfo(std::int32_t status, std::uint64_t size, const std::string& md5) {
    wire::Writer w;
    w.i32(status).u32(0).u64(size).fixedText(md5, wire::kMd5HexSize);
    return link_.send(MsgType::FileInfo, w.data());
  }

  // The file's digest, with keep-alives while a large file is read.
  bool digest(int fd, std::string* md5, char* buffer) {
    wire::Md5 sum;
    auto lastBeat = Clock::now();
    for (;;) {
      ssize_t n = ::read(fd, buffer, kBufferSize);
      if (n < 0) return false;
      if (n == 0) break;
      sum.update(buffer, static_cast<std::size_t>(n));
      if (Clock::now() - lastBeat >= kKeepAliveEvery) {
        if (!link_.send(MsgType::KeepAlive, {})) return false;
        lastBeat = Clock::now();
      }
    }
    *md5 = sum.hex();
    // Still 32 lower-case hex digits, only not this file's.
    if (device_.faults().badMd5) (*md5)[0] = (*md5)[0] == '0' ? '1' : '0';
    return ::lseek(fd, 0, SEEK_SET) == 0;
  }

  // Waits while the device is told to hang; false when the lab stops.
  bool waitWhileStalled() {
    while (device_.faults().stall) {
      if (link_.stop()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  bool sendFile(const std::string& path, bool withMd5) {
    std::string full;
    struct stat st {};
    int fd = -1;
    if (path.empty() || !resolveInside(device_.sdcard(), path, &full) ||
        (fd = ::open(full.c_str(), O_RDONLY | O_CLOEXEC)) < 0 || ::fstat(fd, &st) != 0 ||
        !S_ISREG(st.st_mode)) {
      if (fd >= 0) ::close(fd);
      return sendFileInfo(wire::kStatusNotFound, 0, "");
    }
    auto buffer = std::make_unique<char[]>(kBufferSize);
    std::string md5;
    bool ok = (!withMd5 || digest(fd, &md5, buffer.get())) &&
              sendFileInfo(0, static_cast<std::uint64_t>(st.st_size), md5) &&
              streamFile(fd, static_cast<std::uint64_t>(st.st_size), buffer.get());
    ::close(fd);
    return ok;
  }

  // The file's bytes, raw, under the device's fault switches.
  bool streamFile(int fd, std::uint64_t size, char* buffer) {
    Faults faults = device_.faults();
    auto start = Clock::now();
    std::uint64_t sent = 0;
    while (sent < size) {
      if (!waitWhileStalled()) return false;
      std::size_t want = kBufferSize;
      if (faults.slowKbps) want = std::max<std::size_t>(faults.slowKbps * 1024 / 20, 512);
      want = static_cast<std::size_t>(std::min<std::uint64_t>(want, size - sent));
      if (faults.dropAfterBytes) {
        if (sent >= faults.dropAfterBytes) return false;
        want =
            static_cast<std::size_t>(std::min<std::uint64_t>(want, faults.dropAfterBytes - sent));
      }
      ssize_t n = ::read(fd, buffer, want);
      if (n <= 0) return false;  // the file shrank: the client sees the connection close
      if (!link_.sendRaw(buffer, static_cast<std::size_t>(n))) return false;
      sent += static_cast<std::uint64_t>(n);
      if (faults.slowKbps) {
        auto due = start + std::chrono::duration<double>(static_cast<double>(sent) /
                                                         (faults.slowKbps * 1024.0));
        std::this_thread::sleep_until(due);
      }
    }
    return true;
  }

  bool patch(const wire::Frame& f) {
    std::optional<wire::PatchOffer> offer = wire::decodePatchOffer(f);
    if (!offer) return malformed();
    const std::uint64_t size = offer->size;
    const std::string& md5 = offer->md5;
    if (size == 0 || size > options_.maxPatchBytes)
      return link_.sendStatus(MsgType::PatchReady, wire::kStatusRefused);
    if (device_.faults().busy || !device_.beginPatch())
      return link_.sendStatus(MsgType::PatchReady, wire::kStatusBusy);
    std::string patchPath = device_.folder() + "/incoming.patch";
    std::optional<std::int32_t> result = receivePatch(size, md5, patchPath);
    ::unlink(patchPath.c_str());
    // Free before answering, so that a client may send its next patch at once.
    device_.endPatch();
    return result && link_.sendStatus(MsgType::PatchResult, *result);
  }

  // The send result for the patch, or nothing when the connection is lost.
  std::optional<std::int32_t> receivePatch(std::uint64_t size, const std::string& md5,
                                           const std::string& patchPath) {
    if (!link_.sendStatus(MsgType::PatchReady, 0)) return std::nullopt;
    int out = ::open(patchPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) return std::nullopt;
    auto buffer = std::make_unique<char[]>(kBufferSize);
    wire::Md5 sum;
    std::uint64_t left = size;
    std::uint64_t drop = device_.faults().dropAfterBytes;
    bool ok = true;
    while (ok && left > 0) {
      ok = waitWhileStalled();
      std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kBufferSize, left));
      if (drop) {
        std::uint64_t received = size - left;
        if (received >= drop) break;
        want = static_cast<std::size_t>(std::min<std::uint64_t>(want, drop - received));
      }
      std::size_t got = 0;
      ok = ok && wire::recvSome(link_.fd(), buffer.get(), want, &got, kTransferTimeoutMs,
                                &link_.stop()) == wire::Io::Ok;
      ok = ok && ::write(out, buffer.get(), got) == static_cast<ssize_t>(got);
      sum.update(buffer.get(), got);
      left -= got;
    }
    ok = ::close(out) == 0 && ok && left == 0;
    if (!ok) return std::nullopt;  // dropped, broken or short: nothing more to say
    if (sum.hex() != md5) return wire::kStatusRefused;

    InstallOutcome outcome;
    {
      KeepAlive beat(link_);
      outcome = installPatch(device_, patchPath, [this](std::int32_t value) {
        link_.sendStatus(MsgType::PatchProgress, value);
      });
    }
    return outcome.status == 0 ? device_.acceptPatch(outcome.version) : outcome.status;
  }

  Device& device_;
  Link link_;
  const SessionOptions& options_;
  bool loggedIn_ = false;  // a login on this connection succeeded
};

}  // namespace

void serveConnection(Device& device, int fd, const std::atomic<bool>& stop,
                     const SessionOptions& options) {
  Session(device, fd, stop, options).run();
  ::shutdown(fd, SHUT_RDWR);  // the peer sees the end now; the lab closes the socket later
}

}  // namespace devsim
