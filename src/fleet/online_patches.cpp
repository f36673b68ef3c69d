#include "fleet/online_patches.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "fleet/escaped_text.h"
#include "updateservice/update_check.h"

namespace {

// The check's messages as lines of the log, each naming its hardware.
class LoggedCheckView final : public IUpdateCheckView {
 public:
  LoggedCheckView(std::FILE* log, std::string hardware)
      : log_(log), hardware_(std::move(hardware)) {}
  void showMessage(const std::string& text) override {
    lastMessage = text;
    line(text);
  }
  void setTip(const std::string& text) override { line(text); }
  void showGauge(std::uint64_t, std::uint64_t, const std::string&) override {}
  void hideGauge() override {}
  std::string lastMessage;

 private:
  void line(const std::string& text) {
    // The hardware name and the texts quoting the server come from the network.
    std::fprintf(log_, "%s: %s\n", escapedText(hardware_).c_str(), escapedText(text).c_str());
    std::fflush(log_);
  }
  std::FILE* log_;
  std::string hardware_;
};

}  // namespace

std::map<std::string, OnlinePatch> prepareOnlinePatches(
    IHttpClient& http, const MessageLists& texts, const std::string& serverHost,
    const std::vector<DeviceSurvey>& surveys, const std::string& workRoot, std::FILE* log,
    const std::vector<minisign::PublicKey>& trustedKeys) {
  std::map<std::string, std::int32_t> lowest;
  for (const DeviceSurvey& s : surveys) {
    if (!s.loggedIn) continue;
    auto [it, added] = lowest.emplace(s.hardware, s.version);
    if (!added) it->second = std::min(it->second, s.version);
  }

  std::map<std::string, OnlinePatch> patches;
  int folder = 0;
  for (const auto& [hardware, version] : lowest) {
    // Hardware names come from the cameras: numbered folders keep them out
    // of local paths.
    const std::string patchFolder =
        (std::filesystem::path(workRoot) / ("hardware" + std::to_string(folder++))).string();
    LoggedCheckView view(log, hardware);
    // Made here and new: a folder that is already there (or a link) may
    // have been planted, and the check would empty whatever it leads to.
    std::error_code made;
    if (!std::filesystem::create_directory(patchFolder, made)) {
      patches[hardware].message =
          "cannot make " + patchFolder + ": " + (made ? made.message() : "it is already there");
      continue;
    }
    const UpdateCheckOutcome outcome =
        runUpdateCheck(http, texts,
                       {serverHost,
                        hardware,
                        std::to_string(version),
                        updateWorkFolder(patchFolder),
                        {},
                        [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); },
                        trustedKeys},
                       view);
    OnlinePatch& p = patches[hardware];
    p.message = view.lastMessage;
    if (outcome.kind == UpdateCheckOutcome::NoUpdate) {
      p.kind = OnlinePatch::NoUpdate;
    } else if (outcome.kind == UpdateCheckOutcome::Packed) {
      std::string error;
      if (loadPatchToSend(outcome.patchPath, &p.patch, &error)) {
        p.kind = OnlinePatch::Ready;
        p.patch.signer = outcome.signer;
      } else {
        p.message = "packed patch unusable: " + error;
      }
    }
  }
  return patches;
}
