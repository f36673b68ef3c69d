#include "fleet/command_support.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "address_ranges.h"
#include "fleet/fleet_run.h"
#include "fleet/interrupt_guard.h"
#include "fleet/report_path.h"
#include "fleet/shared_search.h"
#include "settings/atomic_file.h"
#include "settings/program_folders.h"

TrustedKeys fleetTrustedKeys() {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path exeDir = fs::read_symlink("/proc/self/exe", ec).parent_path();
  const char* xdgConfig = std::getenv("XDG_CONFIG_HOME");
  const char* xdgData = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  const fs::path homeDir = home ? home : "/";
  const UserFolders user{
      (xdgConfig && *xdgConfig ? fs::path(xdgConfig) : homeDir / ".config") / "Tovarin",
      (xdgData && *xdgData ? fs::path(xdgData) : homeDir / ".local/share") / "Tovarin"};
  return loadTrustedKeys(
      trustedKeyFolders(findProgramFolders(exeDir, installedDataFolder(exeDir), user)));
}

// Every text in the JSON went through escapedText; should one have been
// missed, its bad bytes become U+FFFD rather than ending the program.
std::string jsonText(const nlohmann::ordered_json& json) {
  return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

// A file written at the end of a run must be writable before it starts.
bool refusedOutput(const std::string& path, const char* what) {
  if (path.empty() || path == kStandardOutput) return false;
  const std::string why = reportPathRefusal(path);
  if (why.empty()) return false;
  std::cerr << "tovarin-fleet: cannot write the " << what << " " << path << ": " << why
            << "; no camera was touched\n";
  return true;
}

// Whole or not at all, even when Ctrl+C comes meanwhile.
bool writeOutput(const std::string& path, const std::string& text) {
  if (path == kStandardOutput) {
    std::cout << text << std::flush;
    return true;
  }
  bool written = false;
  runUninterrupted([&] { written = replaceFileContents(path, text); });
  if (!written) std::cerr << "tovarin-fleet: cannot write " << path << "\n";
  return written;
}

std::chrono::milliseconds millis(double seconds) {
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

// A live board needs a terminal with a row for each camera.
bool liveTerminal(FILE* out, std::size_t lines) {
  if (!::isatty(::fileno(out))) return false;
  winsize size{};
  if (::ioctl(::fileno(out), TIOCGWINSZ, &size) != 0) return false;
  return lines + 2 <= size.ws_row;
}

// Runs job(i) for every index on at most parallel threads.
void forEachAtOnce(std::size_t count, std::size_t parallel,
                   const std::function<void(std::size_t)>& job) {
  std::vector<FleetTarget> none(count);
  runFleet(none, {parallel, 0}, [&](std::size_t i) {
    job(i);
    return DeviceOutcome{};
  });
}

// The ranges every search of the run probes by unicast: those given with
// --range and, so that a camera behind a router is heard again after its
// reboot, each --device address.
std::string searchRangesOf(const FleetOptions& o) {
  std::string ranges;
  auto add = [&](const std::string& entry) {
    if (!addressrange::parseRange(entry)) return;
    if (!ranges.empty()) ranges += ',';
    ranges += entry;
  };
  for (const std::string& r : o.ranges) add(r);
  for (const std::string& d : o.devices) add(d);
  return ranges;
}
std::vector<FleetTarget> targetsOf(IDeviceLink& link, const FleetOptions& o) {
  if (o.all || o.devices.empty())
    return SharedSearch(link, searchRangesOf(o)).searchFor(millis(o.waitSeconds));
  std::vector<FleetTarget> targets;
  for (const std::string& address : o.devices) {
    const bool twice = std::any_of(targets.begin(), targets.end(),
                                   [&](const FleetTarget& t) { return t.address == address; });
    if (!twice) targets.push_back({address, ""});
  }
  return targets;
}
