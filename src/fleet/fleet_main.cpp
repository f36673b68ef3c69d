// tovarin-fleet: the window's device sequence for many cameras at once,
// without a window. `search` lists the cameras that answer; `update` sends
// one patch (or the update server's, per hardware) to many of them and
// confirms each one's new version. Exit status 0 only when every camera was
// confirmed.
#include <sys/ioctl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>

#include "app/platform_locale.h"
#include "devicelink/kestrum_device_link.h"
#include "fleet/device_survey.h"
#include "fleet/device_update.h"
#include "fleet/escaped_text.h"
#include "fleet/fleet_report.h"
#include "fleet/fleet_run.h"
#include "fleet/identifier_clash.h"
#include "fleet/interrupt_guard.h"
#include "fleet/online_patches.h"
#include "fleet/progress_board.h"
#include "fleet/report_path.h"
#include "fleet/shared_search.h"
#include "fleet/work_folder.h"
#include "settings/atomic_file.h"
#include "settings/message_lists.h"
#include "settings/program_folders.h"
#include "signing/trusted_keys.h"
#include "updateservice/curl_http_client.h"
#include "updateservice/server_address.h"

namespace {

constexpr int kExitUsage = 2;

struct Options {
  double waitSeconds = 1;
  bool json = false;
  std::string login;
  std::string patchFile;
  bool online = false;
  std::string updateServer = defaultUpdateServer();
  bool all = false;
  std::vector<std::string> devices;
  std::size_t parallel = 4;
  std::size_t canary = 0;
  std::string reportFile;
  double rebootWaitSeconds = 180;
  bool requireSigned = false;
};

// The keys the window trusts, from the folders it would use when run from
// this program's folder.
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

// "USER" or "USER:PASSWORD"; the password may itself hold colons.
FleetAccount accountFrom(const std::string& login) {
  FleetAccount account;
  if (login.empty()) return account;
  const auto colon = login.find(':');
  account.user = login.substr(0, colon);
  account.password = colon == std::string::npos ? "" : login.substr(colon + 1);
  return account;
}

std::chrono::milliseconds millis(double seconds) {
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

// A live board needs a terminal with a row for each camera.
bool liveTerminal(std::size_t lines) {
  if (!::isatty(STDOUT_FILENO)) return false;
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return false;
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

int runSearch(IDeviceLink& link, const Options& o) {
  SharedSearch search(link);
  const std::vector<FleetTarget> found = search.searchFor(millis(o.waitSeconds));
  std::vector<DeviceSurvey> surveys(found.size());
  const bool withLogin = !o.login.empty();
  if (withLogin) {
    const FleetAccount account = accountFrom(o.login);
    forEachAtOnce(found.size(), 8,
                  [&](std::size_t i) { surveys[i] = surveyDevice(link, found[i], account); });
  } else {
    for (std::size_t i = 0; i < found.size(); ++i) surveys[i].target = found[i];
  }
  const std::vector<IdentifierClash> clashes = identifierClashes(found);
  if (o.json) {
    nlohmann::ordered_json rows = surveysJson(surveys, withLogin);
    markClashes(rows, clashes);
    std::cout << jsonText(rows);
  } else {
    std::cout << surveysTable(surveys, withLogin) << clashLines(clashes);
  }
  return 0;
}

std::vector<FleetTarget> targetsOf(IDeviceLink& link, const Options& o) {
  if (o.all) return SharedSearch(link).searchFor(millis(o.waitSeconds));
  std::vector<FleetTarget> targets;
  for (const std::string& address : o.devices) {
    const bool twice = std::any_of(targets.begin(), targets.end(),
                                   [&](const FleetTarget& t) { return t.address == address; });
    if (!twice) targets.push_back({address, ""});
  }
  return targets;
}

// The outcome of a camera the rollout did not send to, from what the
// survey and the online check found.
DeviceOutcome notSent(const DeviceSurvey& survey, DeviceResult result, const std::string& reason) {
  DeviceOutcome out;
  out.target = survey.target;
  out.hardware = survey.hardware;
  if (survey.loggedIn) out.versionBefore = survey.version;
  if (result == DeviceResult::Confirmed) out.versionAfter = survey.version;
  out.result = result;
  out.reason = reason;
  return out;
}

int runUpdate(IDeviceLink& link, const Options& o) {
  const TrustedKeys trusted = fleetTrustedKeys();
  if (!trusted.any()) {
    if (o.requireSigned) {
      std::cerr << "tovarin-fleet: --require-signed, but no trusted key is installed (put the "
                   "publisher's .pub in a trusted-keys folder: tovarin --folders lists them); "
                   "no camera was touched\n";
      return kExitUsage;
    }
    std::cout << "tovarin-fleet: no trusted key: updates are not verified\n";
  }
  // The report's place and the online update's scratch folder are made
  // ready before any camera is touched: without them, stop here.
  if (!o.reportFile.empty()) {
    if (const std::string why = reportPathRefusal(o.reportFile); !why.empty()) {
      std::cerr << "tovarin-fleet: cannot write the report " << o.reportFile << ": " << why
                << "; no camera was touched\n";
      return kExitUsage;
    }
  }
  std::optional<WorkFolder> work;
  if (o.online) {
    std::error_code noTemp;
    const std::filesystem::path tempRoot = std::filesystem::temp_directory_path(noTemp);
    if (!noTemp) work.emplace(tempRoot);
    if (noTemp || !work->made()) {
      std::cerr << "tovarin-fleet: no folder for temporary files ("
                << (noTemp ? noTemp.message() : work->error()) << "); no camera was updated\n";
      return 1;
    }
  }
  // An interrupted run leaves no downloads behind.
  const InterruptCleanup cleanup([&] {
    if (work) work->remove();
  });

  const std::vector<FleetTarget> targets = targetsOf(link, o);
  if (targets.empty()) {
    std::cerr << "tovarin-fleet: no camera to update\n";
    return 1;
  }
  DeviceUpdateOptions deviceOptions;
  deviceOptions.account = accountFrom(o.login);
  deviceOptions.rebootWait = millis(o.rebootWaitSeconds);
  nlohmann::ordered_json report;

  // Which patch each camera gets, or why it gets none.
  std::vector<const PatchToSend*> patchOf(targets.size(), nullptr);
  std::vector<DeviceSurvey> surveys(targets.size());
  std::map<std::string, OnlinePatch> online;
  PatchToSend given;
  std::unique_ptr<PrivateCopy> checkedCopy;
  MessageLists texts;  // the checks' texts, in English
  texts.fill();
  if (!o.online) {
    std::string error;
    if (!loadCheckedPatch(o.patchFile, trusted, texts, &given, &checkedCopy, &error)) {
      std::cerr << "tovarin-fleet: " << o.patchFile << ": " << error << "\n";
      return kExitUsage;
    }
    std::fill(patchOf.begin(), patchOf.end(), &given);
    report["patch"] = {{"path", escapedText(o.patchFile)},
                       {"hardware", escapedText(given.hardware)},
                       {"version", given.version}};
  } else {
    forEachAtOnce(targets.size(), o.parallel, [&](std::size_t i) {
      surveys[i] = surveyDevice(link, targets[i], deviceOptions.account);
    });
    CurlHttpClient http;
    online = prepareOnlinePatches(http, texts, o.updateServer, surveys, work->path().string(),
                                  stdout, trusted.keys);
    for (auto& [hardware, p] : online) {
      auto& entry = report["online"][escapedText(hardware)];
      entry = {{"message", escapedText(p.message)}};
      if (p.kind == OnlinePatch::Ready) entry["version"] = p.patch.version;
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
      auto it = online.find(surveys[i].hardware);
      if (surveys[i].loggedIn && it->second.kind == OnlinePatch::Ready)
        patchOf[i] = &it->second.patch;
    }
  }

  SharedSearch search(link);
  ProgressBoard board(stdout, liveTerminal(targets.size()), targets);
  const std::vector<DeviceOutcome> outcomes =
      runFleet(targets, {o.parallel, o.canary}, [&](std::size_t i) {
        if (patchOf[i])
          return updateOneDevice(link, search, *patchOf[i], targets[i], deviceOptions, board, i);
        // Online only: a camera without a patch of its own.
        const DeviceSurvey& s = surveys[i];
        DeviceOutcome out =
            !s.loggedIn ? notSent(s, DeviceResult::Failed, s.error)
            : online.at(s.hardware).kind == OnlinePatch::NoUpdate
                ? notSent(s, DeviceResult::Confirmed, "no newer firmware on the update server")
                : notSent(s, DeviceResult::Failed,
                          "update server: " + online.at(s.hardware).message);
        board.finished(i, out);
        return out;
      });
  board.flush();
  if (work) runUninterrupted([&] { work->remove(); });

  const std::vector<IdentifierClash> clashes = identifierClashes(targets);
  std::cout << "\n" << outcomesTable(outcomes) << clashLines(clashes);
  report["devices"] = outcomesJson(outcomes);
  markClashes(report["devices"], clashes);
  report["summary"] = outcomesSummary(outcomes);
  if (!o.reportFile.empty()) {
    // Whole or not at all, even when Ctrl+C comes meanwhile.
    bool written = false;
    runUninterrupted([&] { written = replaceFileContents(o.reportFile, jsonText(report)); });
    if (!written) {
      std::cerr << "tovarin-fleet: cannot write the report " << o.reportFile << "\n";
      return 1;
    }
  }
  const bool allConfirmed =
      std::all_of(outcomes.begin(), outcomes.end(),
                  [](const DeviceOutcome& d) { return d.result == DeviceResult::Confirmed; });
  return allConfirmed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  CLI::App app{"tovarin-fleet: find and update many cameras at once, each update confirmed"};
  app.require_subcommand(1);

  CLI::App* search = app.add_subcommand("search", "list the cameras that answer a search");
  search->add_option("--wait", o.waitSeconds, "seconds to keep searching (default 1)")
      ->check(CLI::Range(0.0, 3600.0));
  search->add_flag("--json", o.json, "print JSON instead of a table");
  search->add_option("--login", o.login,
                     "USER[:PASSWORD]: log in to each camera and show what it reports");

  CLI::App* update = app.add_subcommand("update", "update many cameras and confirm each one");
  auto* patch = update->add_option("--patch", o.patchFile, "the .patch file to send")
                    ->check(CLI::ExistingFile);
  auto* onlineFlag =
      update->add_flag("--online", o.online,
                       "per hardware found, fetch and pack the update server's newest firmware");
  patch->excludes(onlineFlag);
  update->add_option("--update-server", o.updateServer, "A.B.C.D[:PORT] (with --online)")
      ->needs(onlineFlag);
  auto* all = update->add_flag("--all", o.all, "every camera that answers a search");
  auto* device = update->add_option("--device", o.devices, "the address of a camera to update");
  all->excludes(device);
  update->add_option("--wait", o.waitSeconds, "seconds to search for --all (default 1)")
      ->check(CLI::Range(0.0, 3600.0))
      ->needs(all);
  update->add_option("--login", o.login, "USER[:PASSWORD] tried after the default account");
  update->add_option("--parallel", o.parallel, "cameras at a time (default 4)")
      ->check(CLI::Range(1, 256));
  update->add_option("--canary", o.canary,
                     "update the first K cameras alone; the rest only if all K were confirmed");
  update->add_option("--json", o.reportFile, "write the report as JSON to this file");
  update->add_flag("--require-signed", o.requireSigned,
                   "refuse to start unless a trusted key is installed (then nothing unsigned "
                   "is sent)");
  update
      ->add_option("--reboot-wait", o.rebootWaitSeconds,
                   "seconds a rebooting camera may take to come back (default 180)")
      ->check(CLI::Range(1.0, 3600.0));

  CLI11_PARSE(app, argc, argv);
  if (update->parsed()) {
    if (o.patchFile.empty() && !o.online) {
      std::cerr << "tovarin-fleet update: give --patch FILE or --online\n";
      return kExitUsage;
    }
    if (!o.all && o.devices.empty()) {
      std::cerr << "tovarin-fleet update: give --all or --device ADDRESS...\n";
      return kExitUsage;
    }
    const auto server = parseUpdateServer(o.updateServer);
    if (!server) {
      std::cerr << "tovarin-fleet update: --update-server wants A.B.C.D[:PORT]\n";
      return kExitUsage;
    }
    o.updateServer = *server;
  }

  initProcessLocale();
  startInterruptGuard();  // before the device library or any worker starts a thread
  KestrumDeviceLink link;
  routeSendProgress(link);
  return search->parsed() ? runSearch(link, o) : runUpdate(link, o);
}
