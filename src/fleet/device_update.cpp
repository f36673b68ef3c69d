#include "fleet/device_update.h"

#include <exception>
#include <filesystem>
#include <utility>

#include "app/file_helpers.h"
#include "app/platform_locale.h"
#include "devicelink/device_command.h"
#include "devicelink/device_link.h"
#include "fleet/device_survey.h"
#include "fleet/shared_search.h"
#include "patchformat.h"
#include "session/device_return.h"

namespace {

using Clock = std::chrono::steady_clock;

// The camera that the calling thread is sending to, for the progress callback.
struct SendingCamera {
  IFleetProgress* progress = nullptr;
  std::size_t index = 0;
  bool unpacking = false;
};
thread_local SendingCamera tSending;

void onProgress(int32_t value, uint16_t channel) {
  if (channel != KESTRUM_CHANNEL_SEND_PATCH || !tSending.progress) return;
  if (value == KESTRUM_SEND_UNPACK_STAGE) tSending.unpacking = true;
  tSending.progress->stageChanged(tSending.index,
                                  tSending.unpacking ? Stage::Unpacking : Stage::Uploading, value);
}

std::string sendFailure(int32_t result) {
  if (result == KESTRUM_SEND_HARDWARE_MISMATCH) return "camera refused the patch as not its own";
  if (result == KESTRUM_SEND_BUSY) return "camera busy";
  if (result == -1) return "connection lost during the update (code -1)";
  if (result == -3) return "camera stopped answering during the update (code -3)";
  if (result < 0) return "update failed (code " + std::to_string(result) + ")";
  return "no outcome known from the camera (code " + std::to_string(result) + ")";
}

// One camera's run; each step either goes on or ends the outcome with its reason.
class DeviceRun {
 public:
  DeviceRun(IDeviceLink& link, SharedSearch& search, const PatchToSend& patch,
            const DeviceUpdateOptions& options, IFleetProgress& progress, std::size_t index)
      : link_(link),
        search_(search),
        patch_(patch),
        options_(options),
        progress_(progress),
        index_(index) {}

  void run(DeviceOutcome& out) {
    address_ = out.target.address;
    if (!logIn(out, &out.versionBefore)) return;
    if (out.hardware.substr(0, patchformat::kHardwareNameWidth) != patch_.hardware)
      return fail(out, "patch is for " + patch_.hardware + ", camera is " + out.hardware +
                           "; nothing sent");
    if (out.versionBefore == patch_.version)
      return confirm(out, out.versionBefore, "already on it; nothing sent");
    if (updatePending_)
      return fail(out, "an update is already pending; reboot the camera first; nothing sent");

    // What goes to the camera, for the report.
    out.sha256 = patch_.sha256;
    out.signer = patch_.signer;
    const int32_t result = send();
    if (result < KESTRUM_SEND_DELIVERED) return fail(out, sendFailure(result));
    if (result == KESTRUM_SEND_DELIVERED) {
      // The update completes at the reboot; only a search sent after it counts.
      stage(Stage::Rebooting);
      const Clock::time_point rebootAsked = Clock::now();
      if (!sendDeviceCommand(link_, out.target.address, KESTRUM_REQ_REBOOT))
        return fail(out, "reboot request refused or unanswered");
      if (!awaitReturn(out, rebootAsked)) return;
    } else {
      if (!logIn(out, &out.versionAfter, nullptr, Stage::Confirming)) return;
    }
    if (out.versionAfter != patch_.version)
      return fail(out, "came back with version " + std::to_string(out.versionAfter) +
                           ", patch carries " + std::to_string(patch_.version));
    confirm(out, out.versionAfter, "");
  }

 private:
  void stage(Stage s, int percent = -1) { progress_.stageChanged(index_, s, percent); }

  static void fail(DeviceOutcome& out, std::string reason) {
    out.result = DeviceResult::Failed;
    out.reason = std::move(reason);
  }
  static void confirm(DeviceOutcome& out, int32_t version, std::string note) {
    out.versionAfter = version;
    out.result = DeviceResult::Confirmed;
    out.reason = std::move(note);
  }

  // Connects and logs in as the window does; the connection is released
  // afterwards, as every later step opens its own.
  bool logIn(DeviceOutcome& out, int32_t* version, int32_t* result = nullptr,
             Stage shown = Stage::LoggingIn) {
    stage(shown);
    const DeviceSurvey survey = surveyDevice(link_, out.target, options_.account);
    if (result) *result = survey.loginResult;
    if (!survey.loggedIn) {
      fail(out, survey.error);
      return false;
    }
    out.hardware = survey.hardware;
    *version = survey.version;
    updatePending_ = survey.updatePending;
    return true;
  }

  int32_t send() {
    int32_t connection = link_.ConnectServer(address_.c_str(), kDevicePort);
    if (connection < 1) return -1;
    stage(Stage::Uploading, 0);
    tSending = {&progress_, index_, false};
    const int32_t result =
        link_.SendUpdatePatch(patch_.path.c_str(), patch_.md5.c_str(), &connection);
    tSending = {};
    link_.ReleaseSocket(&connection);
    return result;
  }

  // Waits until the camera answers a search sent after the reboot and takes
  // a login (the wait the window's reboot check shares).
  bool awaitReturn(DeviceOutcome& out, Clock::time_point since) {
    class Probe final : public DeviceReturnProbe {
     public:
      Probe(DeviceRun& run, DeviceOutcome& out) : run_(run), out_(out) {}
      std::int64_t nowMs() override { return toMs(Clock::now()); }
      bool answeredSearch(std::int64_t sinceMs, std::int64_t deadlineMs) override {
        run_.stage(Stage::WaitingForDevice);
        return run_.search_.waitForAnswer(out_.target.address, fromMs(sinceMs), fromMs(deadlineMs));
      }
      std::int32_t logIn() override {
        int32_t result = 0;
        run_.logIn(out_, &out_.versionAfter, &result, Stage::Confirming);
        return result;
      }

     private:
      DeviceRun& run_;
      DeviceOutcome& out_;
    };
    Probe probe(*this, out);
    const DeviceReturnResult back =
        awaitDeviceReturn(probe, toMs(since), toMs(since + options_.rebootWait));
    if (back.outcome == DeviceReturn::NoAnswer) {
      const auto waited = std::chrono::duration_cast<std::chrono::seconds>(options_.rebootWait);
      fail(out,
           "did not answer a search within " + std::to_string(waited.count()) + " s of the reboot");
      return false;
    }
    if (back.outcome == DeviceReturn::LoginFailed) {
      out.reason = "after the reboot: " + out.reason;
      return false;
    }
    return true;
  }

  static std::int64_t toMs(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
  }
  static Clock::time_point fromMs(std::int64_t ms) {
    return Clock::time_point(std::chrono::milliseconds(ms));
  }

  IDeviceLink& link_;
  SharedSearch& search_;
  const PatchToSend& patch_;
  const DeviceUpdateOptions& options_;
  IFleetProgress& progress_;
  std::size_t index_;
  std::string address_;
  bool updatePending_ = false;
};

}  // namespace

bool loadPatchToSend(const std::string& path, PatchToSend* patch, std::string* error) {
  patchformat::Header header;
  std::vector<patchformat::EntryInfo> entries;
  if (!patchformat::readPatch(path, &header, &entries, error)) return false;
  try {
    patch->md5 = FileMd5Hex(path);
  } catch (const std::exception& e) {
    *error = e.what();
    return false;
  }
  patch->sha256 = fileSha256Hex(path);
  if (patch->sha256.empty()) {
    *error = "cannot read the patch";
    return false;
  }
  patch->path = path;
  patch->hardware = header.hardwareName;
  patch->version = header.version;
  return true;
}

bool loadCheckedPatch(const std::string& path, const TrustedKeys& trusted,
                      const MessageLists& texts, PatchToSend* patch,
                      std::unique_ptr<PrivateCopy>* copy, std::string* error) {
  if (!trusted.any()) return loadPatchToSend(path, patch, error);
  SignedFile checked;
  error->clear();
  *copy = PrivateCopy::checked(trusted.keys, path, &checked, error);
  if (!*copy && error->empty())
    *error =
        signatureRefusal(texts, std::filesystem::path(path).filename().string(), checked.verdict);
  if (!*copy || !loadPatchToSend((*copy)->path(), patch, error)) return false;
  patch->signer = checked.signer;
  return true;
}

DeviceOutcome updateOneDevice(IDeviceLink& link, SharedSearch& search, const PatchToSend& patch,
                              const FleetTarget& target, const DeviceUpdateOptions& options,
                              IFleetProgress& progress, std::size_t index) {
  applyDeviceThreadLocale();  // as on every thread that talks to a camera
  const Clock::time_point start = Clock::now();
  DeviceOutcome out;
  out.target = target;
  try {
    DeviceRun(link, search, patch, options, progress, index).run(out);
  } catch (const std::exception& e) {
    // Whatever broke this camera's run, it is reported, not counted as done.
    out.result = DeviceResult::Failed;
    out.reason = std::string("internal error: ") + e.what();
  }
  out.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  progress.finished(index, out);
  return out;
}

void routeSendProgress(IDeviceLink& link) { link.set_callback_curprogress(&onProgress); }
