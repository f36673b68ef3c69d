// tovarin-fleet: the window's device sequence for many cameras at once,
// without a window. `search` lists the cameras that answer; `update` sends
// one patch (or the update server's, per hardware) to many of them and
// confirms each one's new version. Exit status 0 only when every camera was
// confirmed, 1 when some failed, 2 for a command line that cannot be used.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>

#include "address_ranges.h"
#include "common/platform_locale.h"
#include "devicelink/kestrum_device_link.h"
#include "fleet/command_support.h"
#include "fleet/device_update.h"
#include "fleet/fleet_options.h"
#include "fleet/fleet_report.h"
#include "fleet/identifier_clash.h"
#include "fleet/interrupt_guard.h"
#include "fleet/password_source.h"
#include "fleet/prometheus_text.h"
#include "fleet/update_command.h"
#include "session/device_survey.h"
#include "updateservice/server_address.h"

namespace {

// False, with a message naming each, when a --range entry is refused.
bool rangesAccepted(const FleetOptions& o) {
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

int runSearch(IDeviceLink& link, const FleetOptions& o) {
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
const std::string kPasswordHelp =
    "; the password from $TOVARIN_PASSWORD, --password-file or a prompt on the terminal "
    "(USER:PASSWORD works but shows it to every user of the machine)";

void addPasswordFileOption(CLI::App* command, FleetOptions& o) {
  command->add_option("--password-file", o.passwordFile,
                      "the --login password, the file's first line; the file must be readable "
                      "by its owner only");
}

// The same on every command: JSON to FILE (replaced as a whole), or to
// standard output with "-" or no FILE.
void addJsonOption(CLI::App* command, FleetOptions& o, const std::string& what) {
  command
      ->add_option("--json", o.reportFile,
                   "write " + what + " as JSON to FILE, or to standard output with - or no FILE")
      ->expected(0, 1)
      ->default_str(kStandardOutput);
}

}  // namespace

int main(int argc, char** argv) {
  FleetOptions o;
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
