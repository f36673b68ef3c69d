// TRebootCheckThread: after the window has asked the device to reboot, waits
// for the device to come back (it answers one of the window's device
// searches and takes a login with the account that was used), reads the
// firmware it now runs and reports it on the firmware page. Bounded in time;
// the window stops and waits for it when the device changes or the window
// closes. Every change to the window goes through its RebootCheckPage.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/worker_thread.h"

class IClock;
class IDeviceLink;
class MessageLists;

// How long a rebooting device may take to answer a search and a login.
inline constexpr int kRebootCheckWaitMs = 180000;
// A device not heard yet is searched for again this long after the last
// search began.
inline constexpr int kRebootSearchEveryMs = 1000;

// The window as the reboot check sees it; called on the window's thread. The
// window's side (firmware_handlers.cpp) skips a window that has gone.
class RebootCheckPage {
 public:
  virtual ~RebootCheckPage() = default;
  // Starts a device search unless one is running; true when it started one.
  virtual bool startRebootSearch() = 0;
  // Whether a device search is still running.
  virtual bool rebootSearchRunning() = 0;
  // Whether the latest search result lists the address.
  virtual bool searchListed(const std::string& address) = 0;
  // The device is back: its version and flags as it reported them at login.
  virtual void showDeviceBack(std::int32_t version, std::int32_t updatePending,
                              std::int32_t backtrackAvailable) = 0;
  // The check's verdict on the tip label.
  virtual void showRebootCheckTip(const QString& tip, bool failure) = 0;
};

// What the check compares with, taken when the reboot was asked for.
struct RebootCheckRequest {
  std::string address;
  std::string user, password;  // the account of the last login
  std::int32_t versionBefore = 0;
  // An update (or backtrack) waits for this reboot: the version must change.
  bool changeAwaited = false;
  std::int64_t rebootAtMs = 0;  // on the services' clock
  int waitMs = kRebootCheckWaitMs;
};

class TRebootCheckThread final : public TThread {
 public:
  // The window has just started a device search after the reboot request:
  // its result is the first the check looks at.
  TRebootCheckThread(std::unique_ptr<RebootCheckPage> page, const MessageLists& messages,
                     IDeviceLink& link, IClock& clock, RebootCheckRequest request);

 protected:
  void Execute() override;
  // The check's verdict becomes a failure tip (unless it was stopped).
  void ShowFailure(const std::string& what) override;

 private:
  class Probe;
  void onPage(const std::function<void(RebootCheckPage&)>& change);
  // Waits (without taking the window's thread) until `done` holds or the
  // thread is asked to stop; false when stopped.
  bool waitFor(const std::function<bool()>& done);
  // True once a search begun after the reboot request (and after the last
  // login) lists the device; false when none has by deadlineMs, or when
  // stopped.
  bool searchHeardDevice(std::int64_t deadlineMs);

  std::unique_ptr<RebootCheckPage> page_;
  const MessageLists& messages_;
  IDeviceLink& device_;
  IClock& clock_;
  const RebootCheckRequest request_;
  // A login was tried on the latest search's answer.
  bool loginSinceSearch_ = false;
};
