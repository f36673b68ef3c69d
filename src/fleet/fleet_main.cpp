// tovarin-fleet: the window's device sequence for many cameras at once,
// without a window. `search` lists the cameras that answer; `update` sends
// one patch (or the update server's, per hardware) to many of them and
// confirms each one's new version. Exit status 0 only when every camera was
// confirmed, 1 when some failed, 2 for a command line that cannot be used.
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

#include "address_ranges.h"
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
#include "fleet/password_source.h"
#include "fleet/progress_board.h"
#include "fleet/prometheus_text.h"
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
  std::string login;
  std::string passwordFile;
  FleetAccount account;  // from login and the password's source
  std::string prometheusFile;
  std::string patchFile;
  bool online = false;
  std::string updateServer = defaultUpdateServer();
  std::string caFile;
  bool all = false;
  std::vector<std::string> ranges;  // searched by unicast besides the broadcast domain
  std::vector<std::string> devices;
  std::size_t parallel = 4;
  std::size_t canary = 0;
  std::string reportFile;  // --json: a file, or "-" for standard output
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

constexpr const char* kStandardOutput = "-";

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
std::string searchRangesOf(const Options& o) {
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

// False, with a message naming each, when a --range entry is refused.
bool rangesAccepted(const Options& o) {
  bool accepted = true;
  for (const std::string& r : o.ranges) {
    addressrange::Refusal reason;
    if (addressrange::parseRange(r, &reason)) continue;
    std::cerr << "tovarin-fleet: --range: " << addressrange::refusalText({r, reason}) << "\n";
    accepted = false;
  }
  std::vector<addressrange::Range> good;
  for (const std::string& r : o.ranges)
    if (auto range = addressrange::parseRange(r)) good.push_back(*range);
  if (accepted && addressrange::hostAddresses(good).size() > addressrange::kMaxAddresses) {
    std::cerr << "tovarin-fleet: --range: more than " << addressrange::kMaxAddresses
              << " addresses in all\n";
    accepted = false;
  }
  return accepted;
}

std::vector<FleetTarget> targetsOf(IDeviceLink& link, const Options& o);

int runSearch(IDeviceLink& link, const Options& o) {
  if (refusedOutput(o.reportFile, "list") || refusedOutput(o.prometheusFile, "metrics file"))
    return kExitUsage;
  const std::vector<FleetTarget> found = targetsOf(link, o);
  std::vector<DeviceSurvey> surveys(found.size());
  const bool withLogin = !o.login.empty();
  if (withLogin) {
    forEachAtOnce(found.size(), 8,
                  [&](std::size_t i) { surveys[i] = surveyDevice(link, found[i], o.account); });
  } else {
    for (std::size_t i = 0; i < found.size(); ++i) surveys[i].target = found[i];
  }
  const std::vector<IdentifierClash> clashes = identifierClashes(found);
  if (o.reportFile != kStandardOutput)
    std::cout << surveysTable(surveys, withLogin) << clashLines(clashes);
  if (!o.reportFile.empty()) {
    nlohmann::ordered_json rows = surveysJson(surveys, withLogin);
    markClashes(rows, clashes);
    if (!writeOutput(o.reportFile, jsonText(rows))) return 1;
  }
  if (!o.prometheusFile.empty() && !writeOutput(o.prometheusFile, surveysPrometheus(surveys)))
    return 1;
  return 0;
}

std::vector<FleetTarget> targetsOf(IDeviceLink& link, const Options& o) {
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

// The keys every patch must be signed by; nothing when --require-signed
// finds none (said on standard error).
std::optional<TrustedKeys> updateTrust(const Options& o) {
  TrustedKeys trusted = fleetTrustedKeys();
  if (!trusted.any()) {
    if (o.requireSigned) {
      std::cerr << "tovarin-fleet: --require-signed, but no trusted key is installed (put the "
                   "publisher's .pub in a trusted-keys folder: tovarin --folders lists them); "
                   "no camera was touched\n";
      return std::nullopt;
    }
    std::cerr << "tovarin-fleet: no trusted key: updates are not verified\n";
  }
  return trusted;
}

// The online update's scratch folder, in the temporary folder; false (said
// on standard error) when none can be made.
bool makeWorkFolder(std::optional<WorkFolder>& work) {
  std::error_code noTemp;
  const std::filesystem::path tempRoot = std::filesystem::temp_directory_path(noTemp);
  if (!noTemp) work.emplace(tempRoot);
  if (noTemp || !work->made()) {
    std::cerr << "tovarin-fleet: no folder for temporary files ("
              << (noTemp ? noTemp.message() : work->error()) << "); no camera was updated\n";
    return false;
  }
  return true;
}

// What the rollout sends where, settled before any camera is updated. It
// stays where it was made: patchOf points into it.
struct UpdatePlan {
  std::vector<FleetTarget> targets;
  std::vector<const PatchToSend*> patchOf;  // null: the camera gets none
  std::vector<DeviceSurvey> surveys;        // online only: what each camera said at login
  std::map<std::string, OnlinePatch> online;
  PatchToSend given;
  std::unique_ptr<PrivateCopy> checkedCopy;
  nlohmann::ordered_json report;  // the report's part on the patches
};

// With the report on standard output, what people read goes to standard
// error, so that a script reads nothing but JSON.
FILE* humanFile(const Options& o) { return o.reportFile == kStandardOutput ? stderr : stdout; }
std::ostream& humanStream(const Options& o) {
  return o.reportFile == kStandardOutput ? std::cerr : std::cout;
}

// Which cameras, and which patch each gets or why it gets none. An exit
// status when the run cannot go on.
std::optional<int> planUpdate(IDeviceLink& link, const Options& o, const TrustedKeys& trusted,
                              const std::optional<WorkFolder>& work, UpdatePlan& plan) {
  plan.targets = targetsOf(link, o);
  if (plan.targets.empty()) {
    std::cerr << "tovarin-fleet: no camera to update\n";
    return 1;
  }
  const std::size_t count = plan.targets.size();
  plan.patchOf.assign(count, nullptr);
  plan.surveys.resize(count);
  MessageLists texts;  // the checks' texts, in English
  texts.fill();
  if (!o.online) {
    std::string error;
    if (!loadCheckedPatch(o.patchFile, trusted, texts, &plan.given, &plan.checkedCopy, &error)) {
      std::cerr << "tovarin-fleet: " << o.patchFile << ": " << error << "\n";
      return kExitUsage;
    }
    std::fill(plan.patchOf.begin(), plan.patchOf.end(), &plan.given);
    plan.report["patch"] = {{"path", escapedText(o.patchFile)},
                            {"hardware", escapedText(plan.given.hardware)},
                            {"version", plan.given.version}};
    return std::nullopt;
  }
  forEachAtOnce(count, o.parallel, [&](std::size_t i) {
    plan.surveys[i] = surveyDevice(link, plan.targets[i], o.account);
  });
  CurlHttpClient http(HttpLimits{}, o.caFile);
  plan.online = prepareOnlinePatches(http, texts, o.updateServer, plan.surveys,
                                     work->path().string(), humanFile(o), trusted.keys);
  for (auto& [hardware, p] : plan.online) {
    auto& entry = plan.report["online"][escapedText(hardware)];
    entry = {{"message", escapedText(p.message)}};
    if (p.kind == OnlinePatch::Ready) entry["version"] = p.patch.version;
  }
  for (std::size_t i = 0; i < count; ++i) {
    auto it = plan.online.find(plan.surveys[i].hardware);
    if (plan.surveys[i].loggedIn && it->second.kind == OnlinePatch::Ready)
      plan.patchOf[i] = &it->second.patch;
  }
  return std::nullopt;
}

// Online only: the outcome of a camera that got no patch of its own.
DeviceOutcome withoutPatch(const UpdatePlan& plan, std::size_t i) {
  const DeviceSurvey& s = plan.surveys[i];
  if (!s.loggedIn) return notSent(s, DeviceResult::Failed, s.error);
  const OnlinePatch& online = plan.online.at(s.hardware);
  if (online.kind == OnlinePatch::NoUpdate)
    return notSent(s, DeviceResult::Confirmed, "no newer firmware on the update server");
  return notSent(s, DeviceResult::Failed, "update server: " + online.message);
}

// Updates the cameras as planned, with the board following them.
std::vector<DeviceOutcome> runPlan(IDeviceLink& link, const Options& o, const UpdatePlan& plan) {
  DeviceUpdateOptions deviceOptions;
  deviceOptions.account = o.account;
  deviceOptions.rebootWait = millis(o.rebootWaitSeconds);
  SharedSearch search(link, searchRangesOf(o));
  FILE* human = humanFile(o);
  ProgressBoard board(human, liveTerminal(human, plan.targets.size()), plan.targets);
  const std::vector<DeviceOutcome> outcomes =
      runFleet(plan.targets, {o.parallel, o.canary}, [&](std::size_t i) {
        if (plan.patchOf[i])
          return updateOneDevice(link, search, *plan.patchOf[i], plan.targets[i], deviceOptions,
                                 board, i);
        DeviceOutcome out = withoutPatch(plan, i);
        board.finished(i, out);
        return out;
      });
  board.flush();
  return outcomes;
}

// The table, the JSON report and the exit status: 0 only when every camera
// was confirmed.
int reportOutcomes(const Options& o, UpdatePlan& plan, const std::vector<DeviceOutcome>& outcomes) {
  const std::vector<IdentifierClash> clashes = identifierClashes(plan.targets);
  humanStream(o) << "\n" << outcomesTable(outcomes) << clashLines(clashes) << std::flush;
  nlohmann::ordered_json& report = plan.report;
  report["devices"] = outcomesJson(outcomes);
  markClashes(report["devices"], clashes);
  report["summary"] = outcomesSummary(outcomes);
  if (!o.reportFile.empty() && !writeOutput(o.reportFile, jsonText(report))) return 1;
  const bool allConfirmed =
      std::all_of(outcomes.begin(), outcomes.end(),
                  [](const DeviceOutcome& d) { return d.result == DeviceResult::Confirmed; });
  return allConfirmed ? 0 : 1;
}

int runUpdate(IDeviceLink& link, const Options& o) {
  const std::optional<TrustedKeys> trusted = updateTrust(o);
  if (!trusted) return kExitUsage;
  // The report's place and the online update's scratch folder are made
  // ready before any camera is touched: without them, stop here.
  if (refusedOutput(o.reportFile, "report")) return kExitUsage;
  std::optional<WorkFolder> work;
  if (o.online && !makeWorkFolder(work)) return 1;
  // An interrupted run leaves no downloads behind.
  const InterruptCleanup cleanup([&] {
    if (work) work->remove();
  });
  UpdatePlan plan;
  if (const std::optional<int> stop = planUpdate(link, o, *trusted, work, plan)) return *stop;
  const std::vector<DeviceOutcome> outcomes = runPlan(link, o, plan);
  if (work) runUninterrupted([&] { work->remove(); });
  return reportOutcomes(o, plan, outcomes);
}

const std::string kPasswordHelp =
    "; the password from $TOVARIN_PASSWORD, --password-file or a prompt on the terminal "
    "(USER:PASSWORD works but shows it to every user of the machine)";

void addPasswordFileOption(CLI::App* command, Options& o) {
  command->add_option("--password-file", o.passwordFile,
                      "the --login password, the file's first line; the file must be readable "
                      "by its owner only");
}

// The same on every command: JSON to FILE (replaced as a whole), or to
// standard output with "-" or no FILE.
void addJsonOption(CLI::App* command, Options& o, const std::string& what) {
  command
      ->add_option("--json", o.reportFile,
                   "write " + what + " as JSON to FILE, or to standard output with - or no FILE")
      ->expected(0, 1)
      ->default_str(kStandardOutput);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  CLI::App app{"tovarin-fleet: find and update many cameras at once, each update confirmed"};
  app.require_subcommand(1);

  CLI::App* search = app.add_subcommand("search", "list the cameras that answer a search");
  auto* searchWait =
      search->add_option("--wait", o.waitSeconds, "seconds to keep searching (default 1)")
          ->check(CLI::Range(0.0, 3600.0));
  search
      ->add_option("--device", o.devices,
                   "ask only these addresses, without a search (cameras behind a router)")
      ->excludes(searchWait);
  addJsonOption(search, o, "the list");
  auto* searchLogin = search->add_option(
      "--login", o.login, "USER: log in to each camera and show what it reports" + kPasswordHelp);
  addPasswordFileOption(search, o);
  search
      ->add_option("--prometheus", o.prometheusFile,
                   "write each camera's hardware and firmware to FILE in the Prometheus text "
                   "format (replaced as a whole)")
      ->needs(searchLogin);
  search->add_option("--range", o.ranges,
                     "CIDR block (at most /16) or address to search by unicast as well, for "
                     "cameras behind a router; repeatable");

  CLI::App* update = app.add_subcommand("update", "update many cameras and confirm each one");
  auto* patch = update->add_option("--patch", o.patchFile, "the .patch file to send")
                    ->check(CLI::ExistingFile);
  auto* onlineFlag =
      update->add_flag("--online", o.online,
                       "per hardware found, fetch and pack the update server's newest firmware");
  patch->excludes(onlineFlag);
  update
      ->add_option("--update-server", o.updateServer,
                   "A.B.C.D[:PORT] (plain HTTP) or https://HOST[:PORT] (with --online)")
      ->needs(onlineFlag);
  update
      ->add_option("--ca-file", o.caFile,
                   "PEM file of the authorities an https:// update server's certificate must "
                   "lead to (default: the system's store)")
      ->check(CLI::ExistingFile)
      ->needs(onlineFlag);
  auto* all = update->add_flag("--all", o.all, "every camera that answers a search");
  auto* device = update->add_option("--device", o.devices, "the address of a camera to update");
  all->excludes(device);
  update
      ->add_option("--range", o.ranges,
                   "with --all: CIDR block (at most /16) or address to search by unicast as "
                   "well; repeatable")
      ->needs(all);
  update->add_option("--wait", o.waitSeconds, "seconds to search for --all (default 1)")
      ->check(CLI::Range(0.0, 3600.0))
      ->needs(all);
  update->add_option("--login", o.login, "USER tried after the default account" + kPasswordHelp);
  addPasswordFileOption(update, o);
  update->add_option("--parallel", o.parallel, "cameras at a time (default 4)")
      ->check(CLI::Range(1, 256));
  update->add_option("--canary", o.canary,
                     "update the first K cameras alone; the rest only if all K were confirmed");
  addJsonOption(update, o, "the report");
  update->add_flag("--require-signed", o.requireSigned,
                   "refuse to start unless a trusted key is installed (then nothing unsigned "
                   "is sent)");
  update
      ->add_option("--reboot-wait", o.rebootWaitSeconds,
                   "seconds a rebooting camera may take to come back (default 180)")
      ->check(CLI::Range(1.0, 3600.0));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help is no error; every wrong command line ends the same way.
    return app.exit(e) == 0 ? 0 : kExitUsage;
  }
  if (!rangesAccepted(o)) return kExitUsage;
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
      std::cerr << "tovarin-fleet update: --update-server wants A.B.C.D[:PORT] or "
                   "https://HOST[:PORT]\n";
      return kExitUsage;
    }
    o.updateServer = *server;
  }
  const char* fromEnvironment = std::getenv(kPasswordVariable);
  PasswordSources sources;
  sources.login = o.login;
  sources.passwordFile = o.passwordFile;
  if (fromEnvironment) sources.environment = fromEnvironment;
  if (::isatty(STDIN_FILENO)) sources.prompt = promptOnTerminal;
  const AccountChoice choice = chooseAccount(sources);
  if (!choice.error.empty()) {
    std::cerr << "tovarin-fleet: " << choice.error << "\n";
    return kExitUsage;
  }
  if (!choice.warning.empty()) std::cerr << "tovarin-fleet: " << choice.warning << "\n";
  o.account = choice.account;

  initProcessLocale();
  startInterruptGuard();  // before the device library or any worker starts a thread
  KestrumDeviceLink link;
  routeSendProgress(link);
  return search->parsed() ? runSearch(link, o) : runUpdate(link, o);
}
