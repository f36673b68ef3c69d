// What tovarin-fleet's command line asks for, shared by its commands.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "fleet/fleet_types.h"
#include "updateservice/server_address.h"

// Exit status of a command line that cannot be used.
constexpr int kExitUsage = 2;
// The --json value that means standard output.
constexpr const char* kStandardOutput = "-";

struct FleetOptions {
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
