// A misbehaving device on 127.0.0.20:9001 for tests of the device library
// and of the window against it: for each connection it reads the client's
// first frame, then plays a script on the line. No lab camera sends broken
// frames or never finishes; this one does what its script says.
#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "socket_io.h"

class ScriptedTcpDevice {
 public:
  // A script never runs longer than this after the client stops reading,
  // so that a test that fails half-way still ends.
  static constexpr auto kGiveUp = std::chrono::seconds(8);

  // One accepted connection and the client's first frame.
  struct Line {
    int fd;
    wire::Frame first;
    const std::atomic<bool>& stop;

    bool open() const { return !stop; }
    bool send(wire::MsgType type, const wire::Writer& w = {}) const {
      return wire::sendFrame(fd, type, w.data(), 1000) == wire::Io::Ok;
    }
    bool sendBytes(const std::vector<std::uint8_t>& bytes) const {
      return wire::sendAll(fd, bytes.data(), bytes.size(), 1000) == wire::Io::Ok;
    }
    // Sends the frame every 100 ms, well inside the client's read timeout,
    // until the client hangs up.
    void repeatUntilClosed(wire::MsgType type, const wire::Writer& w = {}) const {
      const auto end = std::chrono::steady_clock::now() + kGiveUp;
      while (open() && std::chrono::steady_clock::now() < end && send(type, w))
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // Keeps the line open and silent until the client hangs up.
    void holdUntilClosed() const {
      char sink[256];
      std::size_t got;
      while (open() && wire::recvSome(fd, sink, sizeof sink, &got, 100) != wire::Io::Closed) {
      }
    }
  };
  using Script = std::function<void(const Line&)>;

  // Answers every first frame with reply()'s bytes, then holds the line.
  static Script replyThenHold(std::function<std::vector<std::uint8_t>()> reply) {
    return [reply = std::move(reply)](const Line& line) {
      line.sendBytes(reply());
      line.holdUntilClosed();
    };
  }

  explicit ScriptedTcpDevice(Script script) : script_(std::move(script)) {
    listener_ = wire::listenTcp("127.0.0.20", 9001, nullptr);
    thread_ = std::thread([this] {
      while (!stop_) {
        pollfd p{listener_.get(), POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        wire::Fd c(::accept(listener_.get(), nullptr, nullptr));
        wire::Frame first;
        if (wire::recvFrame(c.get(), &first, 1000) != wire::Io::Ok) continue;
        ++requests;
        script_(Line{c.get(), std::move(first), stop_});
      }
    });
  }
  ~ScriptedTcpDevice() {
    stop_ = true;
    thread_.join();
  }
  ScriptedTcpDevice(const ScriptedTcpDevice&) = delete;
  ScriptedTcpDevice& operator=(const ScriptedTcpDevice&) = delete;

  bool listening() const { return listener_.valid(); }
  // Connections whose first frame arrived.
  std::atomic<int> requests{0};

 private:
  Script script_;
  wire::Fd listener_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
