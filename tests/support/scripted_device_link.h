// A scripted device link for window tests: every call is recorded, results
// come from queues the test fills (or defaults that mean "all well").
#pragma once

#include <atomic>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "devicelink/device_link.h"

class ScriptedDeviceLink final : public IDeviceLink {
 public:
  struct LoginAnswer {
    int32_t result = 0;
    std::string hardwareName = "47RKT";
    int32_t version = 2010;
    int32_t updatePending = 0;
    int32_t backtrackAvailable = 0;
  };
  struct LoginCall {
    std::string userName, password;
    int32_t handle;
  };
  struct SearchDirCall {
    std::string path;
    bool nullPath;
    int32_t code;
    uint16_t transferId;
    int32_t handle;
  };
  struct FileAnswer {
    int32_t index;
    std::string name, info;
  };
  struct MakePatchCall {
    std::string hardwareName;
    int32_t newVersion, oldVersion, fileCount;
    std::string outputPath;
    std::vector<FileAnswer> answers;  // the indexes the callback wrote
  };
  struct SendCall {
    std::string path, md5;
    int32_t handle;
  };

  // --- Scripts --------------------------------------------------------------
  std::deque<int32_t> connectResults;    // empty: a new handle each time
  std::deque<LoginAnswer> loginAnswers;  // empty: LoginAnswer{}
  std::deque<int32_t> searchDirResults;  // empty: 0
  std::function<int32_t(const char*, const char*, int32_t*)> onSend;  // default: 7
  std::function<void(const char*)> onConnect;                         // runs inside ConnectServer
  std::vector<DeviceSearchRecord> searchRecords;                      // UdpSearch links these
  std::function<void()> onSearch;                                     // runs inside UdpSearch
  // Replies of RecvData and RecvFile (called without the link's lock, on the
  // caller's thread); default: -1 for both.
  std::function<int32_t(void*, int32_t*, int32_t*, uint16_t, int32_t*)> onRecvData;
  std::function<int32_t(const char*, int32_t, uint16_t, int32_t*)> onRecvFile;
  int32_t makePatchResult = 0;
  std::function<void()> onMakePatch;  // runs inside MakePatch, after the files were asked for

  // --- Records --------------------------------------------------------------
  std::vector<std::string> connectAddresses;
  std::vector<int32_t> connectPorts;
  std::vector<LoginCall> logins;
  std::vector<SearchDirCall> searchDirs;
  std::vector<std::string> rangeSearches;  // the ranges of each UdpSearchRanges
  std::vector<SendCall> sends;
  std::vector<MakePatchCall> makePatches;
  std::vector<int32_t> released;  // handles given to ReleaseSocket (1 or more)
  std::vector<int32_t> flowCtrl;
  std::vector<uint16_t> stoppedTransfers;  // ids given to StopRecvFile
  std::vector<std::string> recvFilePaths;
  std::vector<std::string> calls;  // names in order
  kestrum_curprogress_fn curProgress = nullptr;
  kestrum_getfile2patch_fn getFile2Patch = nullptr;
  std::atomic<int> searches = 0;  // read by tests while a search thread runs

  std::set<int32_t> openHandles() const {
    std::lock_guard lock(mutex_);
    return open_;
  }

  int32_t ConnectServer(const char* address, int32_t port) override {
    if (onConnect) onConnect(address);
    std::lock_guard lock(mutex_);
    calls.push_back("ConnectServer");
    connectAddresses.push_back(address ? address : "");
    connectPorts.push_back(port);
    int32_t handle = nextHandle_++;
    if (!connectResults.empty()) {
      handle = connectResults.front();
      connectResults.pop_front();
    }
    if (handle >= 1) open_.insert(handle);
    return handle;
  }
  void ReleaseSocket(int32_t* handle) override {
    std::lock_guard lock(mutex_);
    calls.push_back("ReleaseSocket");
    if (*handle >= 1) {
      released.push_back(*handle);
      open_.erase(*handle);
    }
    *handle = -1;
  }
  int32_t LoginServer(char hardwareName[17], int32_t* version, int32_t* updatePending,
                      int32_t* backtrackAvailable, const char userName[65], const char password[65],
                      int32_t* handle) override {
    std::lock_guard lock(mutex_);
    calls.push_back("LoginServer");
    logins.push_back({std::string(userName, strnlen(userName, 65)),
                      std::string(password, strnlen(password, 65)), *handle});
    LoginAnswer answer;
    if (!loginAnswers.empty()) {
      answer = loginAnswers.front();
      loginAnswers.pop_front();
    }
    if (answer.result == 0) {
      std::memset(hardwareName, 0, 17);
      std::memcpy(hardwareName, answer.hardwareName.data(),
                  std::min<std::size_t>(answer.hardwareName.size(), 17));
      *version = answer.version;
      *updatePending = answer.updatePending;
      *backtrackAvailable = answer.backtrackAvailable;
    }
    return answer.result;
  }
  int32_t SearchDir(const char* pathOrNull, int32_t requestCode, uint16_t* transferId,
                    int32_t* handle) override {
    std::lock_guard lock(mutex_);
    calls.push_back("SearchDir");
    searchDirs.push_back(
        {pathOrNull ? pathOrNull : "", pathOrNull == nullptr, requestCode, *transferId, *handle});
    if (searchDirResults.empty()) return 0;
    int32_t r = searchDirResults.front();
    searchDirResults.pop_front();
    return r;
  }
  int32_t RecvData(void* buffer, int32_t* count, int32_t* size, uint16_t id,
                   int32_t* handle) override {
    {
      std::lock_guard lock(mutex_);
      calls.push_back("RecvData");
    }
    if (onRecvData) return onRecvData(buffer, count, size, id, handle);
    *count = 0;
    return KESTRUM_FAIL_CONNECTION;
  }
  int32_t RecvFile(const char* path, int32_t size, uint16_t id, int32_t* handle) override {
    {
      std::lock_guard lock(mutex_);
      calls.push_back("RecvFile");
      recvFilePaths.push_back(path);
    }
    return onRecvFile ? onRecvFile(path, size, id, handle) : KESTRUM_FAIL_CONNECTION;
  }
  void StopRecvFile(uint16_t id) override {
    std::lock_guard lock(mutex_);
    calls.push_back("StopRecvFile");
    stoppedTransfers.push_back(id);
  }
  std::vector<SearchDirCall> searchDirCalls() const {
    std::lock_guard lock(mutex_);
    return searchDirs;
  }
  void FlowCtrl(int32_t kbPerSecond) override {
    std::lock_guard lock(mutex_);
    flowCtrl.push_back(kbPerSecond);
  }
  // Asks the registered callback for files 0 to count + 1, as a careless
  // library might, and records every answer; then returns the scripted result.
  int32_t MakePatch(const char* hardwareName, int32_t newVersion, int32_t oldVersion,
                    int32_t fileCount, const char* outputPath) override {
    MakePatchCall call{hardwareName, newVersion, oldVersion, fileCount, outputPath, {}};
    for (int32_t index = 0; index <= fileCount + 1 && getFile2Patch; ++index) {
      std::vector<char> name(KESTRUM_PATCH_NAME_SIZE, '#'), info(KESTRUM_PATCH_INFO_SIZE, '#');
      getFile2Patch(name.data(), info.data(), index);
      if (name[0] == '#' && info[0] == '#') continue;  // left untouched
      call.answers.push_back({index, name.data(), info.data()});
    }
    if (onMakePatch) onMakePatch();
    std::lock_guard lock(mutex_);
    calls.push_back("MakePatch");
    makePatches.push_back(call);
    return makePatchResult;
  }
  int32_t SendUpdatePatch(const char* patchPath, const char* md5Hex, int32_t* handle) override {
    {
      std::lock_guard lock(mutex_);
      calls.push_back("SendUpdatePatch");
      sends.push_back({patchPath, md5Hex, *handle});
    }
    return onSend ? onSend(patchPath, md5Hex, handle) : 7;
  }
  void set_callback_curprogress(kestrum_curprogress_fn callback) override {
    curProgress = callback;
  }
  void set_callback_getfile2patch(kestrum_getfile2patch_fn callback) override {
    getFile2Patch = callback;
  }
  // A range search lists the same records and keeps the ranges it was given.
  int32_t UdpSearchRanges(const char* ranges, int32_t withBroadcast, int32_t probePort,
                          int32_t answerPort, DeviceSearchRecord** first, char* error,
                          int32_t errorSize) override {
    {
      std::lock_guard lock(mutex_);
      rangeSearches.push_back(ranges ? ranges : "");
    }
    if (error && errorSize > 0) error[0] = 0;
    *first = withBroadcast ? UdpSearch(probePort, answerPort) : nullptr;
    return 0;
  }
  DeviceSearchRecord* UdpSearch(int32_t, int32_t) override {
    if (onSearch) onSearch();
    std::lock_guard lock(mutex_);
    ++searches;
    linked_ = searchRecords;
    for (std::size_t i = 0; i < linked_.size(); ++i)
      linked_[i].next = i + 1 < linked_.size() ? &linked_[i + 1] : nullptr;
    return linked_.empty() ? nullptr : linked_.data();
  }

  // A record with the given address and identifier (identifier may fill all
  // 128 bytes without a zero).
  static DeviceSearchRecord record(const std::string& address, const std::string& identifier) {
    DeviceSearchRecord r{};
    std::memcpy(r.address, address.data(), std::min<std::size_t>(address.size(), 31));
    std::memcpy(r.identifier, identifier.data(), std::min<std::size_t>(identifier.size(), 128));
    return r;
  }

 private:
  mutable std::mutex mutex_;
  std::set<int32_t> open_;
  int32_t nextHandle_ = 1;
  std::vector<DeviceSearchRecord> linked_;
};
