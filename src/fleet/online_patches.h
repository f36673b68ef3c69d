// The online update for a fleet: per hardware name found, one catalogue
// check, its downloads and one packed patch (the window's online update
// logic), made for the lowest version among that hardware's cameras so that
// the patch carries every file any of them lacks.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "fleet/device_update.h"
#include "session/device_survey.h"
#include "signing/minisign_format.h"

class IHttpClient;
class MessageLists;

struct OnlinePatch {
  enum Kind { NoUpdate, Failed, Ready } kind = Failed;
  PatchToSend patch;    // Ready only
  std::string message;  // what the check said (NoUpdate, Failed)
};

// Keyed by hardware name. With trusted keys, each catalogue and file must
// be signed by one of them. Each check works in its own folder under
// workRoot; what it shows (texts from `texts`) goes to log as plain lines.
std::map<std::string, OnlinePatch> prepareOnlinePatches(
    IHttpClient& http, const MessageLists& texts, const std::string& serverHost,
    const std::vector<DeviceSurvey>& surveys, const std::string& workRoot, std::FILE* log,
    const std::vector<minisign::PublicKey>& trustedKeys = {});
