// Shared pieces of the firmware page's window tests: a window with a patch
// file on disk, a gate that holds the send call until the test opens it,
// and a wait for the end of an update run.
#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <thread>

#include "firmware/firmware_window.h"
#include "firmware/update_run_worker.h"
#include "form_fixture.h"
#include "session/device_session.h"
#include "settings/message_lists.h"

// Holds SendUpdatePatch (on the run's thread) until open() is called.
class SendGate {
 public:
  void open() { open_ = true; }
  bool entered() const { return entered_; }
  // To be called from inside onSend.
  void pass() {
    entered_ = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!open_ && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }

 private:
  std::atomic<bool> open_{false};
  std::atomic<bool> entered_{false};
};

struct FirmwareFixture : FormFixture {
  QTemporaryDir dir;
  TMainForm* f = nullptr;

  FirmwareFixture() {
    DeviceSessionRecord& s = state.session;
    s.DeviceAddress = "127.0.0.2";
    s.UpdatePending = 0;
    s.BacktrackAvailable = 0;
    f = &create();
  }
  ~FirmwareFixture() {
    // Neither a run nor the search that a reboot starts may outlive the
    // window they report to.
    if (!form) return;  // a fixture that closed its window itself
    waitRunEnded();
    waitSearchesEnded();
  }

  // Writes a file of the given content and returns its full path.
  QString writeFile(const QString& name, const QByteArray& content = "KESTRUM PATCH") {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(content);
    return path;
  }
  // Puts a patch into the area through the dialog, as the operator does.
  QString choosePatch(const QString& name = "cam_2011.patch") {
    const QString path = writeFile(name);
    dialogs.files.push_back(path);
    f->Patch2Send_LVClick();
    return path;
  }
  // Chooses a patch and answers Yes to the update question.
  void startOperatorRun() {
    choosePatch();
    dialogs.files.push_back(QString());  // the handler's own dialog: cancelled
    dialogs.answers.push_back(true);
    f->FirmwareUpdate_BtnClick(f->FirmwareUpdate_Btn);
  }
  bool waitRunEnded() {
    return waitUntil(
        [&] {
          return !f->updateRunActive() && firmwareRunsHoldingConnection(state.updateRun) == 0;
        },
        15000);
  }
  // Each accepted reboot starts a device search; waits until all have ended.
  bool waitSearchesEnded() {
    const int reboots = static_cast<int>(dialogs.texts().count(f->msgText(MsgList::FWHints, 6)));
    return waitUntil([&] {
      return searchesFinished >= reboots && f->DevSearchMessageEdit_Edit->text().isEmpty();
    });
  }
  // A window that runs 47RKT firmware 2010 and packs updates in dir/patches.
  void onlineFrom2010() {
    f->TargetHarward_Val->setText("47RKT");
    f->TargetVersion_Val->setText("2010");
    f->PatchSavePath_Edit->setText(dir.filePath("patches"));
  }
  // The update check (not the run it may start) has ended.
  bool checkEnded() {
    return waitUntil([&] { return !f->UpdateCheckActive; }, 10000);
  }
};
