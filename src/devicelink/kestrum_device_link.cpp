#include "devicelink/kestrum_device_link.h"

int32_t KestrumDeviceLink::ConnectServer(const char* address, int32_t port) {
  return ::ConnectServer(address, port);
}
void KestrumDeviceLink::ReleaseSocket(int32_t* handle) { ::ReleaseSocket(handle); }
int32_t KestrumDeviceLink::LoginServer(char hardwareName[17], int32_t* version,
                                       int32_t* updatePending, int32_t* backtrackAvailable,
                                       const char userName[65], const char password[65],
                                       int32_t* handle) {
  return ::LoginServer(hardwareName, version, updatePending, backtrackAvailable, userName, password,
                       handle);
}
int32_t KestrumDeviceLink::SearchDir(const char* pathOrNull, int32_t requestCode,
                                     uint16_t* transferId, int32_t* handle) {
  return ::SearchDir(pathOrNull, requestCode, transferId, handle);
}
int32_t KestrumDeviceLink::RecvData(void* buffer, int32_t* count, int32_t* size,
                                    uint16_t transferId, int32_t* handle) {
  return ::RecvData(buffer, count, size, transferId, handle);
}
int32_t KestrumDeviceLink::RecvFile(const char* localPath, int32_t size, uint16_t transferId,
                                    int32_t* handle) {
  return ::RecvFile(localPath, size, transferId, handle);
}
void KestrumDeviceLink::StopRecvFile(uint16_t transferId) { ::StopRecvFile(transferId); }
void KestrumDeviceLink::FlowCtrl(int32_t kbPerSecond) { ::FlowCtrl(kbPerSecond); }
int32_t KestrumDeviceLink::MakePatch(const char* hardwareName, int32_t newVersion,
                                     int32_t oldVersion, int32_t fileCount,
                                     const char* outputPath) {
  return ::MakePatch(hardwareName, newVersion, oldVersion, fileCount, outputPath);
}
int32_t KestrumDeviceLink::SendUpdatePatch(const char* patchPath, const char* md5Hex,
                                           int32_t* handle) {
  return ::SendUpdatePatch(patchPath, md5Hex, handle);
}
void KestrumDeviceLink::set_callback_curprogress(kestrum_curprogress_fn callback) {
  ::set_callback_curprogress(callback);
}
void KestrumDeviceLink::set_callback_getfile2patch(kestrum_getfile2patch_fn callback) {
  ::set_callback_getfile2patch(callback);
}
DeviceSearchRecord* KestrumDeviceLink::UdpSearch(int32_t probePort, int32_t answerPort) {
  return ::UdpSearch(probePort, answerPort);
}

int32_t KestrumDeviceLink::UdpSearchRanges(const char* ranges, int32_t withBroadcast,
                                           int32_t probePort, int32_t answerPort,
                                           DeviceSearchRecord** first, char* error,
                                           int32_t errorSize) {
  return ::UdpSearchRanges(ranges, withBroadcast, probePort, answerPort, first, error, errorSize);
}
