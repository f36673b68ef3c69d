// One camera's update in a rollout, the window's device sequence without the
// window: connect, log in (default account, then the given one), check the
// hardware, send the patch with progress, reboot when the camera says the
// update completes then, wait until it answers a search again, log in again
// and confirm that it reports the patch's version.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fleet/fleet_types.h"
#include "fleet/retry_policy.h"
#include "signing/signed_file.h"
#include "signing/trusted_keys.h"

class IDeviceLink;
class MessageLists;
class SharedSearch;

// A patch as the rollout sends it: read and digested once for every camera.
struct PatchToSend {
  std::string path;
  std::string md5;       // 32 lower-case hex digits
  std::string hardware;  // from the header
  std::int32_t version = 0;
  std::string sha256;  // of the bytes sent, 64 lower-case hex digits
  std::string signer;  // the comment of the key that signed it; empty: unchecked
};

// Reads the patch's header (checking its entries) and digests it (MD5 and
// SHA-256). False with a message when it is not a patch this program can send.
bool loadPatchToSend(const std::string& path, PatchToSend* patch, std::string* error);

// The patch the operator gave. With trusted keys its signature (FILE.minisig)
// must be good, and what is sent is a private copy of the checked bytes,
// kept in *copy for the run. False with a message otherwise.
bool loadCheckedPatch(const std::string& path, const TrustedKeys& trusted,
                      const MessageLists& texts, PatchToSend* patch,
                      std::unique_ptr<PrivateCopy>* copy, std::string* error);

struct DeviceUpdateOptions {
  FleetAccount account;
  // How long a rebooting camera may take to answer a search and a login.
  std::chrono::milliseconds rebootWait{std::chrono::minutes(3)};
  // Transient failures before the camera accepted the patch, and of the
  // reboot request, are tried again; the pauses go through sleep.
  RetryPolicy retry;
  RetrySleep sleep;  // empty: the thread sleeps
};

DeviceOutcome updateOneDevice(IDeviceLink& link, SharedSearch& search, const PatchToSend& patch,
                              const FleetTarget& target, const DeviceUpdateOptions& options,
                              IFleetProgress& progress, std::size_t index);

// Routes the library's send progress (channel 91) to the IFleetProgress of
// the thread that is sending: the library calls back on that thread.
void routeSendProgress(IDeviceLink& link);
