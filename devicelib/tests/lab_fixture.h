// A device lab run in-process for the library tests, with helpers that
// drive libkestrum the way the program does. Every test binary runs in its
// own network namespace, so the fixed ports never clash.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "device_lab.h"
#include "kestrum.h"

namespace labtest {

namespace fs = std::filesystem;

// Short library timeouts so that a silent peer fails a test quickly.
inline void useShortTimeouts() { ::setenv("KESTRUM_IO_TIMEOUT_MS", "1500", 1); }

inline void writeFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

inline std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Deterministic bytes that differ by seed, so mixed-up transfers show.
inline std::string patternBytes(std::size_t size, unsigned seed) {
  std::string s(size, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& c : s) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

// A device for a test world; its storage template lives under the fixture's folder.
inline devsim::DeviceConfig camera(const std::string& id, const std::string& address,
                                   const std::string& hardware, std::int32_t version) {
  devsim::DeviceConfig d;
  d.identifier = id;
  d.address = address;
  d.hardware = hardware;
  d.version = version;
  d.accounts = {{"admin", ""}};
  return d;
}

class LabTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { useShortTimeouts(); }

  void SetUp() override {
    work_ = fs::temp_directory_path() /
            ("kestrum-test-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(work_);
    fs::create_directories(work_ / "local");
  }

  void TearDown() override {
    if (lab_) lab_->stop();
    FlowCtrl(0);
    fs::remove_all(work_);
  }

  fs::path templateOf(const std::string& id) { return work_ / "templates" / id / "sdcard"; }
  fs::path local(const std::string& name) { return work_ / "local" / name; }

  // Starts a lab with these devices; reboots take 0.3 s unless told.
  void startLab(std::vector<devsim::DeviceConfig> devices, double rebootSeconds = 0.3) {
    devsim::LabConfig config;
    for (auto& d : devices) {
      d.storageTemplate = templateOf(d.identifier).string();
      fs::create_directories(d.storageTemplate);
    }
    config.devices = std::move(devices);
    config.rebootSeconds = rebootSeconds;
    lab_ = std::make_unique<devsim::DeviceLab>(config);
    std::string error;
    ASSERT_TRUE(lab_->start(&error)) << error;
  }

  // The device's folder inside the lab's state folder.
  fs::path deviceFolder(const std::string& id) { return lab_->device(id)->folder(); }

  fs::path work_;
  std::unique_ptr<devsim::DeviceLab> lab_;
};

// A connection released at the end of the scope, as every program worker does.
struct Connection {
  explicit Connection(const char* address) : handle(ConnectServer(address, 9001)) {}
  ~Connection() { ReleaseSocket(&handle); }
  int32_t handle;
};

struct Listing {
  std::int32_t status = 0;  // the last RecvData status
  std::vector<std::pair<char, std::string>> entries;
  std::vector<std::int32_t> counts;  // entries per reply
};

inline Listing listDirectory(const char* address, const char* path, int32_t code) {
  Listing out;
  Connection c(address);
  uint16_t id = 1;
  out.status = SearchDir(path, code, &id, &c.handle);
  if (out.status != 0) return out;
  for (int round = 0; round < 1000; ++round) {
    char buffer[KESTRUM_LIST_BUFFER_SIZE];
    int32_t count = 0, size = 0;
    out.status = RecvData(buffer, &count, &size, id, &c.handle);
    if (out.status != KESTRUM_RECV_LIST) break;
    out.counts.push_back(count);
    if (count == 0) break;
    for (int i = 0; i < count; ++i) {
      const char* e = buffer + i * KESTRUM_LIST_ENTRY_SIZE;
      out.entries.emplace_back(e[0], std::string(e + 1, strnlen(e + 1, 47)));
    }
  }
  return out;
}

struct Download {
  std::int32_t recvData = 0;
  std::int32_t recvFile = 0;
  std::int32_t size = 0;
  std::string deviceMd5;
  uint16_t id = 0;
};

// One download mission: request, size, file, stop, release.
inline Download download(const char* address, const char* remote, int32_t code,
                         const std::string& target) {
  Download d;
  Connection c(address);
  uint16_t id = 1;
  if ((d.recvData = SearchDir(remote, code, &id, &c.handle)) != 0) return d;
  d.id = id;
  char buffer[KESTRUM_FILE_BUFFER_SIZE] = {};
  int32_t count = 0, size = 0;
  do {
    d.recvData = RecvData(buffer, &count, &size, id, &c.handle);
  } while (d.recvData == KESTRUM_RECV_GO_ON);
  if (d.recvData == KESTRUM_RECV_SIZE_KNOWN) {
    d.size = size;
    d.deviceMd5 = std::string(buffer, strnlen(buffer, sizeof buffer));
    d.recvFile = RecvFile(target.c_str(), size, id, &c.handle);
  }
  StopRecvFile(id);
  return d;
}

}  // namespace labtest
