// The public keys the program trusts: minisign .pub files in its
// trusted-keys/ folders. With none, updates go out unchecked as they always
// have; with one or more, nothing unsigned is sent.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "signing/minisign_format.h"

struct ProgramFolders;

struct TrustedKeys {
  std::vector<minisign::PublicKey> keys;
  std::vector<std::filesystem::path> files;       // one per key, same order
  std::vector<std::filesystem::path> unreadable;  // .pub files that are no key
  bool any() const { return !keys.empty(); }
  // Without keys the window says so once per start, at the first login.
  bool unverifiedTipShown = false;
};

// Where the keys are looked for: trusted-keys/ beside the settings when the
// program keeps them beside itself; otherwise the system's
// /etc/tovarin/trusted-keys and trusted-keys/ in the user's config folder.
std::vector<std::filesystem::path> trustedKeyFolders(const ProgramFolders& folders);

// Every *.pub of the folders, in name order per folder; missing folders are
// skipped. A key found twice counts once.
TrustedKeys loadTrustedKeys(const std::vector<std::filesystem::path>& folders);
