// How a download mission ended, and the notices that tell the operator:
// successes name their files, failures name the file and the reason, and
// missions that end together share one box instead of piling boxes up.
#pragma once

#include <QString>
#include <cstdint>
#include <deque>
#include <string>

class MessageLists;

namespace remotefiles {

enum class MissionEnd {
  Downloaded,  // received (code 4)
  Checked,     // received and its MD5 matched (code 5)
  Declined,    // the operator kept the existing file
  Stopped,     // stop-all or the window's close: nobody waits for news
  Failed,
};

// Why a mission failed; each has its text in the Downloads message list.
enum class FailReason {
  ConnectFailed = 1,
  NotSent,
  ConnectionLost,
  DeviceSilent,
  DeviceRefused,
  TooLarge,
  LocalWriteFailed,
  NoFolderSet,
  FolderMissing,
  FolderNotWritable,
  TargetIsFolder,
  Md5Mismatch,
  Md5Unreadable,
};

// Entries of the Downloads message list besides the reasons.
constexpr int kFailedBoxTitle = 0;
constexpr int kProgressText = 14;  // "%1% at %2 KB/s"
constexpr int kStartingText = 15;
constexpr int kProgressPanelCaption = 16;

struct MissionResult {
  MissionEnd end = MissionEnd::Failed;
  std::string fileName;  // local code page, as the target has it
  FailReason reason = FailReason::ConnectionLost;
  std::string folder;  // the download folder, for the reasons that name it
};

// The reason for a negative status of RecvData or RecvFile.
FailReason reasonForStatus(int32_t status);

// One box to show: its title and its text.
struct NoticeBox {
  QString title;
  QString text;
};

// Results waiting to be shown, in the order the missions ended.
class MissionNotices {
 public:
  // Declined and stopped missions tell nothing.
  void add(const MissionResult& result);
  bool empty() const { return pending_.empty(); }
  // One box for every waiting result of the same kind as the oldest one:
  // "download ok" and the names (titled "file md5" after a check, else
  // "file"), or one line per failed file with its reason.
  NoticeBox takeNext(const MessageLists& texts);

 private:
  std::deque<MissionResult> pending_;
};

// A failed file's line: the reason's text with the name (and folder) filled in.
QString failureLine(const MessageLists& texts, const MissionResult& result);

}  // namespace remotefiles
