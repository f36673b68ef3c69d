#include "lab_config.h"

// Texts stay 8-bit as they are in the file; no Unicode conversion is needed.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION  // the template bodies, compiled in this file only
#include <SimpleIni.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "socket_io.h"

namespace devsim {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDevicePrefix = "device ";

bool readNumber(const CSimpleIniA& ini, const char* section, const char* key, long long low,
                long long high, long long* value, std::string* error) {
  const char* text = ini.GetValue(section, key, nullptr);
  if (!text) return true;  // keeps the default
  char* end = nullptr;
  long long v = std::strtoll(text, &end, 10);
  if (!*text || *end || v < low || v > high) {
    *error = std::string("[") + section + "] " + key + ": not a number in range: " + text;
    return false;
  }
  *value = v;
  return true;
}

bool readFlag(const CSimpleIniA& ini, const char* section, const char* key, bool* value,
              std::string* error) {
  long long v = *value ? 1 : 0;
  if (!readNumber(ini, section, key, 0, 1, &v, error)) return false;
  *value = v != 0;
  return true;
}

std::string resolve(const fs::path& base, const std::string& path) {
  fs::path p(path);
  return (p.is_absolute() ? p : base / p).lexically_normal().string();
}

bool readDevice(const CSimpleIniA& ini, const char* section, const fs::path& base, DeviceConfig* d,
                std::string* error) {
  d->identifier = std::string(section).substr(std::char_traits<char>::length(kDevicePrefix));
  d->answerIdentifier = ini.GetValue(section, "answer_identifier", "");
  d->address = ini.GetValue(section, "address", "");
  d->hardware = ini.GetValue(section, "hardware", "");
  std::uint32_t addr = 0;
  if (d->identifier.empty() || d->identifier.size() > 128) {
    *error = std::string("[") + section + "]: identifier must have 1 to 128 characters";
    return false;
  }
  if (d->answerIdentifier.size() > 128) {
    *error = std::string("[") + section + "] answer_identifier: at most 128 characters";
    return false;
  }
  if (!wire::parseIpv4(d->address, &addr) || !wire::isLoopback(addr)) {
    *error = std::string("[") + section + "] address: must be a 127.x.y.z address";
    return false;
  }
  long long version = 0, previous = 0, pending = 0, drop = 0, slow = 0;
  bool updatePending = false;
  if (!readNumber(ini, section, "version", 0, 0x7fffffff, &version, error) ||
      !readNumber(ini, section, "previous_version", 0, 0x7fffffff, &previous, error) ||
      !readNumber(ini, section, "pending_version", 0, 0x7fffffff, &pending, error) ||
      !readFlag(ini, section, "update_pending", &updatePending, error) ||
      !readFlag(ini, section, "apply_now", &d->applyNow, error) ||
      !readFlag(ini, section, "fault_busy", &d->faults.busy, error) ||
      !readFlag(ini, section, "fault_other_hardware", &d->faults.otherHardware, error) ||
      !readFlag(ini, section, "fault_reject_login", &d->faults.rejectLogin, error) ||
      !readFlag(ini, section, "fault_stall", &d->faults.stall, error) ||
      !readFlag(ini, section, "fault_keep_version", &d->faults.keepVersion, error) ||
      !readNumber(ini, section, "fault_drop_after_bytes", 0, 1ll << 40, &drop, error) ||
      !readNumber(ini, section, "fault_slow_kbps", 0, 1 << 24, &slow, error))
    return false;
  long long resets = 0;
  if (!readFlag(ini, section, "fault_drop_listing", &d->faults.dropListing, error) ||
      !readFlag(ini, section, "fault_bad_md5", &d->faults.badMd5, error) ||
      !readFlag(ini, section, "behind_router", &d->behindRouter, error) ||
      !readNumber(ini, section, "fault_reset_connections", 0, 1000000, &resets, error))
    return false;
  d->faults.resetConnections = static_cast<std::uint32_t>(resets);
  d->version = static_cast<std::int32_t>(version);
  d->previousVersion = static_cast<std::int32_t>(previous);
  d->pendingVersion = static_cast<std::int32_t>(pending);
  d->updatePending = updatePending || pending != 0;
  d->faults.returnAddress = ini.GetValue(section, "fault_return_address", "");
  if (!d->faults.returnAddress.empty() &&
      (!wire::parseIpv4(d->faults.returnAddress, &addr) || !wire::isLoopback(addr))) {
    *error = std::string("[") + section + "] fault_return_address: must be a 127.x.y.z address";
    return false;
  }
  d->faults.dropAfterBytes = static_cast<std::uint64_t>(drop);
  d->faults.slowKbps = static_cast<std::uint32_t>(slow);

  CSimpleIniA::TNamesDepend keys;
  ini.GetAllKeys(section, keys);
  keys.sort(CSimpleIniA::Entry::LoadOrder());
  for (const auto& key : keys) {
    std::string name = key.pItem;
    if (name.rfind("account.", 0) == 0 && name.size() > 8)
      d->accounts.emplace_back(name.substr(8), ini.GetValue(section, key.pItem, ""));
  }
  d->storageTemplate = resolve(
      base, ini.GetValue(section, "storage", ("devices/" + d->identifier + "/sdcard").c_str()));
  return true;
}

// The update server's fault switches, in the [lab] section.
bool readHttpFaults(const CSimpleIniA& ini, HttpFaults* f, std::string* error) {
  long long status = f->failStatus, delayMs = 0, cut = 0;
  f->failPrefix = ini.GetValue("lab", "http_fail_prefix", "");
  if (!readNumber(ini, "lab", "http_fail_status", 100, 599, &status, error) ||
      !readNumber(ini, "lab", "http_delay_ms", 0, 600000, &delayMs, error) ||
      !readNumber(ini, "lab", "http_cut_after_bytes", 0, 1ll << 40, &cut, error) ||
      !readFlag(ini, "lab", "http_corrupt_files", &f->corruptFiles, error) ||
      !readFlag(ini, "lab", "http_cut_once_at_half", &f->cutOnceAtHalf, error))
    return false;
  f->failStatus = static_cast<int>(status);
  f->delay = std::chrono::milliseconds(delayMs);
  f->cutAfterBytes = static_cast<std::uint64_t>(cut);
  return true;
}

// The first device section whose name the file gives twice, as the INI
// reader compares names (blanks around them dropped, case ignored); it would
// merge the two into one device. Empty when there is none.
std::string repeatedDeviceSection(const std::string& text) {
  std::set<std::string> seen;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t open = line.find_first_not_of(" \t\r");
    if (open == std::string::npos || line[open] != '[') continue;
    const std::size_t close = line.find(']', open);
    if (close == std::string::npos) continue;
    const std::size_t first = line.find_first_not_of(" \t", open + 1);
    const std::size_t last = line.find_last_not_of(" \t", close - 1);
    if (first == std::string::npos || first >= close) continue;
    std::string name = line.substr(first, last - first + 1);
    std::string folded = name;
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (folded.rfind(kDevicePrefix, 0) != 0) continue;
    if (!seen.insert(folded).second) return name;
  }
  return {};
}

}  // namespace

bool loadLabConfig(const std::string& path, LabConfig* config, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  CSimpleIniA ini;
  ini.SetUnicode(false);
  if (!in || ini.LoadData(text.str()) < 0) {
    *error = "cannot read " + path;
    return false;
  }
  if (const std::string twice = repeatedDeviceSection(text.str()); !twice.empty()) {
    *error = path + ": [" + twice + "] is written twice; each device needs a section of its own";
    return false;
  }
  fs::path base = fs::absolute(fs::path(path)).parent_path();
  LabConfig c;
  long long tcp = c.tcpPort, probe = c.probePort, rebootMs = 2000;
  long long perCamera = static_cast<long long>(c.maxConnectionsPerCamera);
  long long perClient = static_cast<long long>(c.maxConnectionsPerClient);
  if (!readNumber(ini, "lab", "tcp_port", 1, 65535, &tcp, error) ||
      !readNumber(ini, "lab", "probe_port", 1, 65535, &probe, error) ||
      !readNumber(ini, "lab", "reboot_ms", 0, 600000, &rebootMs, error) ||
      !readNumber(ini, "lab", "max_connections_per_camera", 1, 256, &perCamera, error) ||
      !readNumber(ini, "lab", "max_connections_per_client", 1, 256, &perClient, error))
    return false;
  c.maxConnectionsPerCamera = static_cast<std::size_t>(perCamera);
  c.maxConnectionsPerClient = static_cast<std::size_t>(perClient);
  c.tcpPort = static_cast<std::uint16_t>(tcp);
  c.probePort = static_cast<std::uint16_t>(probe);
  c.rebootSeconds = static_cast<double>(rebootMs) / 1000.0;
  if (const char* root = ini.GetValue("lab", "http_root", nullptr))
    c.httpRoot = resolve(base, root);
  if (!readHttpFaults(ini, &c.httpFaults, error)) return false;
  if (const char* key = ini.GetValue("lab", "signing_key", nullptr))
    c.signingKey = resolve(base, key);
  c.signatures = ini.GetValue("lab", "http_signatures", "lab");
  if (c.signatures != "lab" && c.signatures != "none" && c.signatures != "other_key") {
    *error = "http_signatures must be lab, none or other_key, not " + c.signatures;
    return false;
  }

  CSimpleIniA::TNamesDepend sections;
  ini.GetAllSections(sections);
  sections.sort(CSimpleIniA::Entry::LoadOrder());
  for (const auto& s : sections) {
    if (std::string(s.pItem).rfind(kDevicePrefix, 0) != 0) continue;
    DeviceConfig d;
    if (!readDevice(ini, s.pItem, base, &d, error)) return false;
    for (const auto& other : c.devices) {
      if (other.address == d.address) {
        *error = "two devices at " + d.address;
        return false;
      }
      if (other.address == d.faults.returnAddress || other.faults.returnAddress == d.address) {
        *error = "a device returns from its reboot at another device's address";
        return false;
      }
    }
    c.devices.push_back(std::move(d));
  }
  if (c.devices.empty()) {
    *error = path + ": no [device ...] section";
    return false;
  }
  *config = std::move(c);
  return true;
}

}  // namespace devsim
