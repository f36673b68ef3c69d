// The device maker's two libraries as the program sees them: one method per
// export, with the same arguments, widths and results. The program uses
// KestrumDeviceLink; window tests use a scripted implementation.
#pragma once

#include <cstdint>

#include "kestrum.h"
#include "lorvex.h"

class IDeviceLink {
 public:
  virtual ~IDeviceLink() = default;
  virtual int32_t ConnectServer(const char* address, int32_t port) = 0;
  virtual void ReleaseSocket(int32_t* handle) = 0;
  virtual int32_t LoginServer(char hardwareName[17], int32_t* version, int32_t* updatePending,
                              int32_t* backtrackAvailable, const char userName[65],
                              const char password[65], int32_t* handle) = 0;
  virtual int32_t SearchDir(const char* pathOrNull, int32_t requestCode, uint16_t* transferId,
                            int32_t* handle) = 0;
  virtual int32_t RecvData(void* buffer, int32_t* count, int32_t* size, uint16_t transferId,
                           int32_t* handle) = 0;
  virtual int32_t RecvFile(const char* localPath, int32_t size, uint16_t transferId,
                           int32_t* handle) = 0;
  virtual void StopRecvFile(uint16_t transferId) = 0;
  virtual void FlowCtrl(int32_t kbPerSecond) = 0;
  virtual int32_t MakePatch(const char* hardwareName, int32_t newVersion, int32_t oldVersion,
                            int32_t fileCount, const char* outputPath) = 0;
  virtual int32_t SendUpdatePatch(const char* patchPath, const char* md5Hex, int32_t* handle) = 0;
  virtual void set_callback_curprogress(kestrum_curprogress_fn callback) = 0;
  virtual void set_callback_getfile2patch(kestrum_getfile2patch_fn callback) = 0;
  virtual DeviceSearchRecord* UdpSearch(int32_t probePort, int32_t answerPort) = 0;
  virtual int32_t UdpSearchRanges(const char* ranges, int32_t withBroadcast, int32_t probePort,
                                  int32_t answerPort, DeviceSearchRecord** first, char* error,
                                  int32_t errorSize) = 0;
};

constexpr int32_t kDevicePort = 9001;
