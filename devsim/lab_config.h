// What a lab world holds: its devices, their accounts, storage and fault
// switches, and the lab-wide ports and timings. Read from an INI file.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace devsim {

// Switches that make a device misbehave on purpose, for tests.
struct Faults {
  bool busy = false;                 // every patch upload is refused with -6
  bool otherHardware = false;        // every patch is refused as made for other hardware (-4)
  bool rejectLogin = false;          // every login is refused with -5
  std::uint64_t dropAfterBytes = 0;  // >0: close after this many file or patch bytes
  bool stall = false;                // stop answering on TCP (reads and ignores requests)
  bool dropListing = false;          // close a listing's connection after its first reply
  std::uint32_t slowKbps = 0;        // >0: send file bytes at most this fast (KB/s)
  bool keepVersion = false;          // reboots but comes back with the version it had
  bool badMd5 = false;               // code 5 sends a digest that does not match the file
  // Not empty: after its next reboot the device comes back at this address
  // (a camera that took another address from DHCP while it restarted).
  std::string returnAddress;
  std::uint32_t resetConnections =
      0;  // >0: resets its first N connections at once (a flaky network)
};

struct DeviceConfig {
  std::string identifier;
  // When not empty, what the device answers a search with instead of its
  // identifier (a misconfigured camera giving another's).
  std::string answerIdentifier;
  std::string address;   // 127.x.y.z
  std::string hardware;  // at most 16 bytes go on the wire
  std::int32_t version = 0;
  std::int32_t previousVersion = 0;  // 0: no firmware to go back to
  bool updatePending = false;
  std::int32_t pendingVersion = 0;  // applied at the next reboot when non-zero
  bool applyNow = false;            // true: a patch is applied at once (result = new version)
  std::vector<std::pair<std::string, std::string>> accounts;  // user, password
  std::string storageTemplate;  // copied to the device's "/sdcard" at start
  bool sharedStorage = false;   // one copy of the template serves every device sharing it
  // On another subnet behind a router: broadcast probes never reach it, a
  // probe sent to its own address does.
  bool behindRouter = false;
  Faults faults;
};

// Switches that make the update server misbehave on purpose, for tests.
struct HttpFaults {
  std::string failPrefix;  // requests whose path starts with this get failStatus
  int failStatus = 404;
  std::chrono::milliseconds delay{0};  // every reply waits this long before it starts
  std::uint64_t cutAfterBytes = 0;     // >0: bodies stop after this many bytes, then a drop
  bool corruptFiles = false;           // update files (not .txt) come with one byte changed
  bool cutOnceAtHalf = false;          // each update file's first download stops at half
};

struct LabConfig {
  std::vector<DeviceConfig> devices;
  double rebootSeconds = 2.0;  // how long a rebooting device stays offline
  std::uint16_t tcpPort = 9001;
  std::uint16_t probePort = 10008;
  std::string stateDir;  // empty: a fresh temporary folder, removed at stop
  std::string httpRoot;  // the update server's files; empty when none
  HttpFaults httpFaults;
  // The update server signs what it serves with this minisign key (empty:
  // it serves no signatures). signatures: "lab" (with that key), "none"
  // (no signature anywhere) or "other_key" (by a key nobody trusts).
  std::string signingKey;
  std::string signatures = "lab";
  std::uint64_t maxPatchBytes = 2ull << 30;
  // Quiet time after which a connection is closed: before and after login.
  std::chrono::milliseconds idleLimit{120000};
  std::chrono::milliseconds loggedInIdleLimit{30 * 60 * 1000};
  // Connections one camera serves at once, in all and from one client
  // address, as a real camera limits them. The program needs about a dozen
  // per camera at most (a session, nine downloads, an update, a reboot).
  std::size_t maxConnectionsPerCamera = 16;
  std::size_t maxConnectionsPerClient = 12;
};

// Reads a world file. Relative folders in it are taken from the file's own
// folder. Returns false with a message on any error.
bool loadLabConfig(const std::string& path, LabConfig* config, std::string* error);

}  // namespace devsim
