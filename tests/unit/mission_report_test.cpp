// How download missions tell the operator: notices that share a box, the
// reason lines, and the speed of a running download.
#include <gtest/gtest.h>

#include "kestrum.h"
#include "remotefiles/mission_report.h"
#include "remotefiles/transfer_rate.h"
#include "settings/message_lists.h"

using namespace remotefiles;

namespace {

MissionResult ended(MissionEnd end, const std::string& name) {
  MissionResult r;
  r.end = end;
  r.fileName = name;
  return r;
}

MissionResult failedWith(FailReason reason, const std::string& name,
                         const std::string& folder = "") {
  MissionResult r = ended(MissionEnd::Failed, name);
  r.reason = reason;
  r.folder = folder;
  return r;
}

class MissionNoticesTest : public ::testing::Test {
 protected:
  void SetUp() override { texts.fill(); }
  MessageLists texts;
  MissionNotices notices;
};

}  // namespace

TEST_F(MissionNoticesTest, MissionsEndingTogetherShareOneBoxPerKind) {
  notices.add(ended(MissionEnd::Downloaded, "a.jpg"));
  notices.add(ended(MissionEnd::Checked, "clip.mp4"));
  notices.add(failedWith(FailReason::ConnectionLost, "big.bin"));
  notices.add(ended(MissionEnd::Downloaded, "b.jpg"));
  notices.add(ended(MissionEnd::Declined, "c.jpg"));
  notices.add(ended(MissionEnd::Stopped, "d.jpg"));
  notices.add(failedWith(FailReason::Md5Mismatch, "e.mp4"));

  NoticeBox box = notices.takeNext(texts);
  EXPECT_EQ(box.title, "file");
  EXPECT_EQ(box.text, "download ok\na.jpg\nb.jpg");
  box = notices.takeNext(texts);
  EXPECT_EQ(box.title, "file md5");
  EXPECT_EQ(box.text, "download ok\nclip.mp4");
  box = notices.takeNext(texts);
  EXPECT_EQ(box.title, "Download failed");
  EXPECT_EQ(box.text,
            "big.bin: the connection to the device was lost.\n"
            "e.mp4: the MD5 check failed; the file was not kept.");
  EXPECT_TRUE(notices.empty());  // declined and stopped missions tell nothing
}

TEST_F(MissionNoticesTest, ReasonLinesNameTheFileAndTheFolder) {
  EXPECT_EQ(failureLine(texts, failedWith(FailReason::FolderMissing, "a.jpg", "/home/op/dl")),
            "a.jpg: the download folder /home/op/dl does not exist.");
  EXPECT_EQ(failureLine(texts, failedWith(FailReason::NoFolderSet, "a.jpg")),
            "a.jpg: no download folder is set (Options page).");
  // Markers inside a name are the name's own.
  EXPECT_EQ(failureLine(texts, failedWith(FailReason::FolderNotWritable, "100%2.jpg", "/dl")),
            "100%2.jpg: the download folder /dl cannot be written.");
  // A pack that translates the reason is followed.
  texts.replace(MsgList::Downloads, static_cast<int>(FailReason::TargetIsFolder),
                "%1 ist ein Ordner");
  EXPECT_EQ(failureLine(texts, failedWith(FailReason::TargetIsFolder, "x")), "x ist ein Ordner");
}

TEST(MissionStatus, LibraryStatusesMapToReasons) {
  EXPECT_EQ(reasonForStatus(KESTRUM_FAIL_CONNECTION), FailReason::ConnectionLost);
  EXPECT_EQ(reasonForStatus(KESTRUM_FAIL_TIMEOUT), FailReason::DeviceSilent);
  EXPECT_EQ(reasonForStatus(KESTRUM_FAIL_LOCAL_FILE), FailReason::LocalWriteFailed);
  EXPECT_EQ(reasonForStatus(KESTRUM_FAIL_TOO_LARGE), FailReason::TooLarge);
  EXPECT_EQ(reasonForStatus(KESTRUM_FAIL_REFUSED), FailReason::DeviceRefused);
}

TEST(TransferRateTest, SpeedOverTheLastSeconds) {
  TransferRate rate;
  EXPECT_EQ(rate.kbPerSecond(), 0);
  rate.sample(1000, 0);
  EXPECT_EQ(rate.kbPerSecond(), 0);  // one sample: no speed yet
  rate.sample(1500, 512 * 1024);
  EXPECT_EQ(rate.kbPerSecond(), 1024);
  // Old samples leave the window: a stall shows as a falling speed.
  for (std::int64_t t = 1750; t <= 5000; t += 250) rate.sample(t, 512 * 1024);
  EXPECT_EQ(rate.kbPerSecond(), 0);
  rate.sample(5250, 100);  // fewer bytes: a new file, counted afresh
  EXPECT_EQ(rate.kbPerSecond(), 0);
}
