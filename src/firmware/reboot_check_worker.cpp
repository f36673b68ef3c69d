#include "firmware/reboot_check_worker.h"

#include <algorithm>

#include "common/platform_locale.h"
#include "common/services.h"
#include "common/ui_thread.h"
#include "firmware/firmware_texts.h"
#include "session/device_return.h"
#include "session/device_survey.h"
#include "session/discovery.h"

// The window's searches and the shared login, on the services' clock.
class TRebootCheckThread::Probe final : public DeviceReturnProbe {
 public:
  explicit Probe(TRebootCheckThread& thread) : t_(thread) {}
  std::int64_t nowMs() override { return t_.clock_.nowMs(); }
  bool answeredSearch(std::int64_t /*sinceMs*/, std::int64_t deadlineMs) override {
    return t_.searchHeardDevice(deadlineMs);
  }
  std::int32_t logIn() override {
    if (t_.Terminated()) return KESTRUM_FAIL_CANCELLED;
    t_.loginSinceSearch_ = true;
    survey = surveyDevice(t_.device_, FleetTarget{t_.request_.address, {}},
                          FleetAccount{t_.request_.user, t_.request_.password});
    return survey.loggedIn ? 0 : survey.loginResult;
  }
  DeviceSurvey survey;

 private:
  TRebootCheckThread& t_;
};

TRebootCheckThread::TRebootCheckThread(std::unique_ptr<RebootCheckPage> page,
                                       const MessageLists& messages, IDeviceLink& link,
                                       IClock& clock, RebootCheckRequest request)
    : page_(std::move(page)),
      messages_(messages),
      device_(link),
      clock_(clock),
      request_(std::move(request)) {}

void TRebootCheckThread::onPage(const std::function<void(RebootCheckPage&)>& change) {
  runOnUiThread([&] { change(*page_); });
}

bool TRebootCheckThread::waitFor(const std::function<bool()>& done) {
  waitOnUiThread([&] { return Terminated() || done(); });
  return !Terminated();
}

bool TRebootCheckThread::searchHeardDevice(std::int64_t deadlineMs) {
  // The window started a search right after the reboot request; after a
  // login that found no one, only a search begun later counts.
  bool fresh = !loginSinceSearch_;
  for (;;) {
    if (fresh) {
      if (!waitFor([] { return !deviceSearchRunning(); })) return false;
      bool listed = false;
      onPage([&](RebootCheckPage& p) { listed = p.searchListed(request_.address); });
      if (listed) return true;
    }
    const std::int64_t next = std::min(clock_.nowMs() + kRebootSearchEveryMs, deadlineMs);
    if (!waitFor([&] { return clock_.nowMs() >= next; })) return false;
    if (clock_.nowMs() >= deadlineMs) return false;
    loginSinceSearch_ = false;
    onPage([](RebootCheckPage& p) { p.startRebootSearch(); });
    fresh = true;
  }
}

void TRebootCheckThread::ShowFailure(const std::string&) {
  if (Terminated()) return;
  const QString tip = msgText(messages_, MsgList::FWTipLabel, fwmsg::kTipConnectionAbnormal);
  onPage([&](RebootCheckPage& p) { p.showRebootCheckTip(tip, true); });
}

void TRebootCheckThread::Execute() {
  applyDeviceThreadLocale();
  Probe probe(*this);
  const std::int64_t deadline = request_.rebootAtMs + request_.waitMs;
  const DeviceReturnResult back = awaitDeviceReturn(probe, request_.rebootAtMs, deadline);
  if (Terminated()) return;  // the window has moved on to another device, or closes

  auto text = [this](int index) { return msgText(messages_, MsgList::FWTipLabel, index); };
  if (back.outcome != DeviceReturn::LoggedIn) {
    const QString tip = text(fwmsg::kTipNotBack).arg(request_.waitMs / 1000);
    onPage([&](RebootCheckPage& p) { p.showRebootCheckTip(tip, true); });
    return;
  }
  const DeviceSurvey& s = probe.survey;
  const bool unchanged = request_.changeAwaited && s.version == request_.versionBefore;
  const QString tip =
      text(unchanged ? fwmsg::kTipStillOnVersion : fwmsg::kTipNowOnVersion).arg(s.version);
  onPage([&](RebootCheckPage& p) {
    p.showDeviceBack(s.version, s.updatePending ? 1 : 0, s.backtrackAvailable ? 1 : 0);
    p.showRebootCheckTip(tip, unchanged);
  });
}
