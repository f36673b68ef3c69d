#include "fleet/device_update.h"

#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>
#include <utility>

#include "common/file_helpers.h"
#include "common/platform_locale.h"
#include "devicelink/device_link.h"
#include "devicelink/device_results.h"
#include "fleet/shared_search.h"
#include "patchformat.h"
#include "session/device_return.h"
#include "session/device_survey.h"

namespace {

using Clock = std::chrono::steady_clock;

// The camera that the calling thread is sending to, for the progress callback.
struct SendingCamera {
  IFleetProgress* progress = nullptr;
  std::size_t index = 0;
  bool unpacking = false;
  int32_t lastValue = -1;  // -1: the camera has not accepted the patch
};
thread_local SendingCamera tSending;

void onProgress(int32_t value, uint16_t channel) {
  if (channel != KESTRUM_CHANNEL_SEND_PATCH || !tSending.progress) return;
  if (value == KESTRUM_SEND_UNPACK_STAGE) tSending.unpacking = true;
  tSending.lastValue = value;
  tSending.progress->stageChanged(tSending.index,
                                  tSending.unpacking ? Stage::Unpacking : Stage::Uploading, value);
}

// One upload try: the library's result and how far it got.
struct SendTry {
  bool connected = false;
  int32_t result = 0;
  int32_t lastValue = -1;  // the last progress value; -1: never accepted
  bool unpacking = false;

  bool accepted() const { return lastValue >= 0; }
  // Only an upload the camera never accepted may be sent again.
  bool transient() const { return !accepted() && (!connected || isUnreachable(result)); }
};

std::string sendFailure(const SendTry& t) {
  const int32_t result = t.result;
  if (!t.connected)
    return "no connection to port " + std::to_string(kDevicePort) + " for the upload";
  const SendOutcome outcome = decodeSendResult(result);
  if (outcome == SendOutcome::HardwareMismatch) return "camera refused the patch as not its own";
  if (outcome == SendOutcome::Busy) return "camera busy";
  if (isUnreachable(result)) {
    const std::string what =
        result == KESTRUM_FAIL_CONNECTION ? "connection lost" : "camera stopped answering";
    if (!t.accepted()) return what + " before the upload started";
    if (t.unpacking) return what + " while the camera unpacked the patch";
    // Channel 91 counts the upload from 0 to one below the unpack stage.
    const int percent = t.lastValue * 100 / (KESTRUM_SEND_UNPACK_STAGE - 1);
    return what + " during the upload at " + std::to_string(percent) + " %";
  }
  if (outcome == SendOutcome::Failed) return "update failed (code " + std::to_string(result) + ")";
  return "no outcome known from the camera (code " + std::to_string(result) + ")";
}

// One reboot request: whether the camera answered it, and how it failed.
struct RebootTry {
  bool connected = false;
  int32_t result = 0;
  bool transient() const { return !connected || isUnreachable(result); }
};

std::string rebootFailure(const RebootTry& t) {
  if (!t.connected) return "no connection for the reboot request";
  if (t.result == KESTRUM_FAIL_CONNECTION) return "connection lost at the reboot request";
  if (t.result == KESTRUM_FAIL_TIMEOUT) return "no answer to the reboot request";
  return "reboot request refused (code " + std::to_string(t.result) + ")";
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
    identifier_ = out.target.identifier;
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
    SendTry sent;
    const int sendTries = retrying([&] {
      sent = send();
      return sent.transient() ? TryOutcome::Transient : TryOutcome::Done;
    });
    const SendOutcome outcome = decodeSendResult(sent.result);
    if (!sent.connected || (outcome != SendOutcome::Delivered && outcome != SendOutcome::Installed))
      return fail(out, withTries(sendFailure(sent), sendTries));
    if (outcome == SendOutcome::Delivered) {
      // The update completes at the reboot; only a search sent after it counts.
      stage(Stage::Rebooting);
      // The camera is found again by its identifier should it come back at
      // another address: learn it now when the operator named an address.
      learnIdentity();
      const Clock::time_point rebootAsked = Clock::now();
      RebootTry reboot;
      const int rebootTries = retrying([&] {
        reboot = requestReboot();
        return reboot.transient() ? TryOutcome::Transient : TryOutcome::Done;
      });
      const bool rebootAnswered = reboot.connected && reboot.result == 0;
      if (!rebootAnswered && !reboot.transient())
        return fail(out, withTries(rebootFailure(reboot), rebootTries));
      // An unanswered request may still have reached the camera: its version
      // after the wait tells.
      if (!awaitReturn(out, rebootAsked)) {
        if (!rebootAnswered)
          out.reason = withTries(rebootFailure(reboot), rebootTries) + "; then " + out.reason;
        return;
      }
      if (!rebootAnswered && out.versionAfter != patch_.version)
        return fail(out, withTries(rebootFailure(reboot), rebootTries));
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

  int retrying(const std::function<TryOutcome()>& attempt) {
    const RetrySleep sleep = options_.sleep ? options_.sleep : [](std::chrono::milliseconds pause) {
      std::this_thread::sleep_for(pause);
    };
    return runWithRetries(options_.retry, sleep, [&](int) { return attempt(); });
  }

  // Connects and logs in as the window does; the connection is released
  // afterwards, as every later step opens its own. Only the wait after a
  // reboot, which asks again until its own deadline, logs in just once.
  bool logIn(DeviceOutcome& out, int32_t* version, int32_t* result = nullptr,
             Stage shown = Stage::LoggingIn, bool once = false) {
    stage(shown);
    DeviceSurvey survey;
    const FleetTarget here{address_, out.target.identifier};
    const auto attempt = [&] {
      survey = surveyDevice(link_, here, options_.account);
      return survey.transient ? TryOutcome::Transient : TryOutcome::Done;
    };
    const int tries = once ? (attempt(), 1) : retrying(attempt);
    if (result) *result = survey.loginResult;
    if (!survey.loggedIn) {
      fail(out, withTries(survey.error, tries));
      return false;
    }
    out.hardware = survey.hardware;
    *version = survey.version;
    updatePending_ = survey.updatePending;
    return true;
  }

  SendTry send() {
    SendTry t;
    int32_t connection = link_.ConnectServer(address_.c_str(), kDevicePort);
    if (connection < 1) return t;
    t.connected = true;
    stage(Stage::Uploading, 0);
    tSending = {&progress_, index_, false, -1};
    t.result = link_.SendUpdatePatch(patch_.path.c_str(), patch_.md5.c_str(), &connection);
    t.lastValue = tSending.lastValue;
    t.unpacking = tSending.unpacking;
    tSending = {};
    link_.ReleaseSocket(&connection);
    return t;
  }

  RebootTry requestReboot() {
    RebootTry t;
    int32_t connection = link_.ConnectServer(address_.c_str(), kDevicePort);
    if (connection < 1) return t;
    t.connected = true;
    uint16_t transferId = 6;
    t.result = link_.SearchDir(nullptr, KESTRUM_REQ_REBOOT, &transferId, &connection);
    link_.ReleaseSocket(&connection);
    return t;
  }

  // From the latest search (one is made when none was): the identifier heard
  // at this camera's address when the operator gave only the address, and
  // the other addresses answering with it, which are never taken for it.
  void learnIdentity() {
    const std::vector<FleetTarget> heard = search_.answeredSince(SharedSearch::Clock::time_point{});
    if (identifier_.empty())
      for (const FleetTarget& t : heard)
        if (t.address == address_) identifier_ = t.identifier;
    for (const FleetTarget& t : heard)
      if (!identifier_.empty() && t.identifier == identifier_ && t.address != address_)
        twins_.push_back(t.address);
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
        const std::optional<FleetTarget> found =
            run_.search_.waitForCamera({out_.target.address, run_.identifier_}, fromMs(sinceMs),
                                       fromMs(deadlineMs), run_.twins_);
        if (!found) return false;
        // Back at another address: confirmed there, and the report says so.
        run_.address_ = found->address;
        out_.addressAfter = found->address == out_.target.address ? "" : found->address;
        return true;
      }
      std::int32_t logIn() override {
        int32_t result = 0;
        run_.logIn(out_, &out_.versionAfter, &result, Stage::Confirming, true);
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

  // Rounded up: a search started earlier in the same millisecond must not
  // count as one sent after the reboot.
  static std::int64_t toMs(Clock::time_point t) {
    return std::chrono::ceil<std::chrono::milliseconds>(t.time_since_epoch()).count();
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
  std::string address_;             // where the camera is reached now
  std::string identifier_;          // how it is found again after its reboot
  std::vector<std::string> twins_;  // other cameras' addresses answering with it
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
