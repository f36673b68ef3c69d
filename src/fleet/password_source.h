// Where the --login password comes from. A password on the command line is
// seen by every user of the machine (ps, /proc/PID/cmdline), so the account
// may name only the user and take the password from the environment
// (TOVARIN_PASSWORD), from a file only its owner can read, or from a prompt
// on the terminal.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "fleet/fleet_types.h"

// The environment variable that holds the password.
inline constexpr const char* kPasswordVariable = "TOVARIN_PASSWORD";

struct PasswordSources {
  std::string login;                       // "USER" or "USER:PASSWORD"; empty: no account given
  std::string passwordFile;                // --password-file; empty when not given
  std::optional<std::string> environment;  // TOVARIN_PASSWORD when set
  // Asks for the password without echo; empty when there is no terminal to
  // ask on (or the operator gave none).
  std::function<std::optional<std::string>(const std::string& prompt)> prompt;
};

struct AccountChoice {
  FleetAccount account;
  bool given = false;   // an account was named with --login
  std::string warning;  // for standard error; empty when none
  std::string error;    // the command line cannot be used; empty when fine
};

// Picks the password, first found of: USER:PASSWORD (with a warning), the
// password file, the environment, the prompt; else an empty password.
AccountChoice chooseAccount(const PasswordSources& sources);

// Reads the password, the file's first line, from a file that neither group
// nor others may read. On refusal returns nothing and says why in *why.
std::optional<std::string> readPasswordFile(const std::string& path, std::string* why);

// Prompts on the controlling terminal and reads one line with echo off;
// nothing when the process has no terminal.
std::optional<std::string> promptOnTerminal(const std::string& prompt);

// The same on an open terminal: prompt written to and line read from fd.
std::optional<std::string> promptWithoutEcho(int fd, const std::string& prompt);
