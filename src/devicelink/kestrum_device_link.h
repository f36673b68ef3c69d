// The real device link: forwards every call to libkestrum and liblorvex.
#pragma once

#include "devicelink/device_link.h"

class KestrumDeviceLink final : public IDeviceLink {
 public:
  int32_t ConnectServer(const char* address, int32_t port) override;
  void ReleaseSocket(int32_t* handle) override;
  int32_t LoginServer(char hardwareName[17], int32_t* version, int32_t* updatePending,
                      int32_t* backtrackAvailable, const char userName[65], const char password[65],
                      int32_t* handle) override;
  int32_t SearchDir(const char* pathOrNull, int32_t requestCode, uint16_t* transferId,
                    int32_t* handle) override;
  int32_t RecvData(void* buffer, int32_t* count, int32_t* size, uint16_t transferId,
                   int32_t* handle) override;
  int32_t RecvFile(const char* localPath, int32_t size, uint16_t transferId,
                   int32_t* handle) override;
  void StopRecvFile(uint16_t transferId) override;
  void FlowCtrl(int32_t kbPerSecond) override;
  int32_t MakePatch(const char* hardwareName, int32_t newVersion, int32_t oldVersion,
                    int32_t fileCount, const char* outputPath) override;
  int32_t SendUpdatePatch(const char* patchPath, const char* md5Hex, int32_t* handle) override;
  void set_callback_curprogress(kestrum_curprogress_fn callback) override;
  void set_callback_getfile2patch(kestrum_getfile2patch_fn callback) override;
  DeviceSearchRecord* UdpSearch(int32_t probePort, int32_t answerPort) override;
  int32_t UdpSearchRanges(const char* ranges, int32_t withBroadcast, int32_t probePort,
                          int32_t answerPort, DeviceSearchRecord** first, char* error,
                          int32_t errorSize) override;
};
