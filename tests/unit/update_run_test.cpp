// The update run's device sequence against a page that records what it is
// told: which page calls a run makes, in which order, for each outcome.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "common/notice_texts.h"
#include "firmware/firmware_texts.h"
#include "firmware/update_run_worker.h"
#include "scripted_device_link.h"

namespace {

class RecordingPage final : public UpdatePage {
 public:
  RecordingPage(std::vector<std::string>& calls, QString patch, QString folder)
      : calls_(calls), patch_(std::move(patch)), folder_(std::move(folder)) {}
  void lockDeviceButtons() override { calls_.push_back("lock"); }
  QString patchInArea() override { return patch_; }
  void showUpdateGauge(const QString& t) override { note("gauge", t); }
  void setUpdateGaugeText(const QString& t) override { note("gaugeText", t); }
  void showUpdateFailure(const QString& tip) override { note("failure", tip); }
  void showFirmwareVersion(int v) override { note("version", QString::number(v)); }
  QString endUpdateRun(UpdateOrigin) override {
    calls_.push_back("end");
    return folder_;
  }
  void dropPackedPatch() override { calls_.push_back("drop"); }
  void postRunNotice(const QString& t) override { note("notice", t); }

 private:
  void note(const char* what, const QString& arg) {
    calls_.push_back(std::string(what) + ":" + arg.toStdString());
  }
  std::vector<std::string>& calls_;
  QString patch_, folder_;
};

struct UpdateRunTest : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    state.messages.fill();
    patch = dir.filePath("fw.patch");
    QFile file(patch);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("patch bytes");
  }
  // One run to its end; the page calls it made.
  std::vector<std::string> run(UpdateOrigin origin, const QString& patchPath,
                               const QString& folder = {}) {
    std::vector<std::string> calls;
    state.updateRun.active = true;
    firmwareRunStarted(state.updateRun);
    TFWUpdateThread worker(std::make_unique<RecordingPage>(calls, patchPath, folder),
                           {state.updateRun, state.session, state.messages, state.trustedKeys},
                           link, origin);
    worker.Start();
    worker.WaitFor();
    EXPECT_FALSE(state.updateRun.active);
    EXPECT_EQ(firmwareRunsHoldingConnection(state.updateRun), 0);
    return calls;
  }
  std::string msg(MsgList list, int index) {
    return msgText(state.messages, list, index).toStdString();
  }

  QTemporaryDir dir;
  QString patch;
  AppState state;
  ScriptedDeviceLink link;
};

TEST_F(UpdateRunTest, FailedRunsShowTheirTipBeforeTheButtonsReturn) {
  const std::string failure = "failure:";
  EXPECT_EQ(
      run(UpdateOrigin::Operator, QString()),
      (std::vector<std::string>{"lock",
                                failure + msg(MsgList::FWTipLabel, fwmsg::kTipUpdateFailed) + " (" +
                                    msg(MsgList::FWTipLabel, fwmsg::kWhyUnreadableFile) + ")",
                                "end"}));
  EXPECT_TRUE(link.sends.empty());

  link.connectResults = {-1};
  EXPECT_EQ(run(UpdateOrigin::Operator, patch),
            (std::vector<std::string>{
                "lock", failure + msg(MsgList::FWTipLabel, fwmsg::kTipConnectFailed), "end"}));

  link.onSend = [](const char*, const char*, int32_t*) { return KESTRUM_SEND_BUSY; };
  EXPECT_EQ(run(UpdateOrigin::Operator, patch),
            (std::vector<std::string>{
                "lock", "gauge:" + msg(MsgList::UpdateProgressGauge, fwmsg::kGaugeUploading),
                failure + msg(MsgList::FWTipLabel, fwmsg::kTipDeviceBusy), "end"}));
  EXPECT_EQ(link.openHandles().size(), 0u);

  // A run that breaks on an error fails like any other and still ends.
  link.onSend = [](const char*, const char*, int32_t*) -> int32_t {
    throw std::runtime_error("out of memory");
  };
  EXPECT_EQ(run(UpdateOrigin::Operator, patch),
            (std::vector<std::string>{
                "lock", "gauge:" + msg(MsgList::UpdateProgressGauge, fwmsg::kGaugeUploading),
                failure + msg(MsgList::FWTipLabel, fwmsg::kTipUpdateFailed), "end"}));
  EXPECT_EQ(link.openHandles().size(), 0u);
}

TEST_F(UpdateRunTest, InstalledRunShowsVersionThenAsksForTheReboot) {
  link.onSend = [](const char*, const char*, int32_t*) { return 2050; };
  EXPECT_EQ(run(UpdateOrigin::Operator, patch),
            (std::vector<std::string>{
                "lock", "gauge:" + msg(MsgList::UpdateProgressGauge, fwmsg::kGaugeUploading),
                "gaugeText:" + msg(MsgList::UpdateProgressGauge, fwmsg::kGaugeFinished),
                "version:2050", "notice:" + notice::kUpdateWillFinish.toStdString(), "end"}));
  EXPECT_EQ(state.session.UpdatePending, -1);
}

TEST_F(UpdateRunTest, AutomaticRunEmptiesItsWorkFolderAndDropsThePatch) {
  ASSERT_TRUE(QDir(dir.path()).mkpath("autotmp"));
  const QString leftover = dir.filePath("autotmp/packed.patch");
  QFile(leftover).open(QIODevice::WriteOnly);
  link.onSend = [](const char*, const char*, int32_t*) { return KESTRUM_SEND_DELIVERED; };
  const auto calls = run(UpdateOrigin::Automatic, patch, dir.path());
  EXPECT_EQ(std::vector<std::string>(calls.end() - 2, calls.end()),
            (std::vector<std::string>{"end", "drop"}));
  EXPECT_FALSE(QFile::exists(leftover));
  EXPECT_TRUE(QFile::exists(patch));
}

}  // namespace
