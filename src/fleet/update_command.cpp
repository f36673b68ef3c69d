#include "fleet/update_command.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>

#include "fleet/command_support.h"
#include "fleet/device_update.h"
#include "fleet/escaped_text.h"
#include "fleet/fleet_report.h"
#include "fleet/fleet_run.h"
#include "fleet/identifier_clash.h"
#include "fleet/interrupt_guard.h"
#include "fleet/online_patches.h"
#include "fleet/progress_board.h"
#include "fleet/shared_search.h"
#include "fleet/work_folder.h"
#include "session/device_survey.h"
#include "settings/message_lists.h"
#include "signing/trusted_keys.h"
#include "updateservice/curl_http_client.h"

namespace {

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
std::optional<TrustedKeys> updateTrust(const FleetOptions& o) {
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
FILE* humanFile(const FleetOptions& o) { return o.reportFile == kStandardOutput ? stderr : stdout; }
std::ostream& humanStream(const FleetOptions& o) {
  return o.reportFile == kStandardOutput ? std::cerr : std::cout;
}

// Which cameras, and which patch each gets or why it gets none. An exit
// status when the run cannot go on.
std::optional<int> planUpdate(IDeviceLink& link, const FleetOptions& o, const TrustedKeys& trusted,
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
std::vector<DeviceOutcome> runPlan(IDeviceLink& link, const FleetOptions& o,
                                   const UpdatePlan& plan) {
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
int reportOutcomes(const FleetOptions& o, UpdatePlan& plan,
                   const std::vector<DeviceOutcome>& outcomes) {
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

}  // namespace

int runUpdate(IDeviceLink& link, const FleetOptions& o) {
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
