#include "remotefiles/mission_report.h"

#include <QStringList>

#include "kestrum.h"
#include "settings/box_texts.h"
#include "settings/message_lists.h"

namespace remotefiles {

namespace {

QString local(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

bool sameKind(const MissionResult& a, const MissionResult& b) { return a.end == b.end; }

}  // namespace

FailReason reasonForStatus(int32_t status) {
  switch (status) {
    case KESTRUM_FAIL_CONNECTION:
    case KESTRUM_FAIL_MALFORMED:
    case KESTRUM_FAIL_CANCELLED:
      return FailReason::ConnectionLost;
    case KESTRUM_FAIL_TIMEOUT:
      return FailReason::DeviceSilent;
    case KESTRUM_FAIL_LOCAL_FILE:
      return FailReason::LocalWriteFailed;
    case KESTRUM_FAIL_TOO_LARGE:
      return FailReason::TooLarge;
    default:
      return FailReason::DeviceRefused;
  }
}

void MissionNotices::add(const MissionResult& result) {
  if (result.end == MissionEnd::Declined || result.end == MissionEnd::Stopped) return;
  pending_.push_back(result);
}

QString failureLine(const MessageLists& texts, const MissionResult& result) {
  // One pass, so that a "%2" inside a file name stays as it is.
  const QString text = msgText(texts, MsgList::Downloads, static_cast<int>(result.reason));
  QString line;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
      line += local(text[i + 1] == '1' ? result.fileName : result.folder);
      ++i;
    } else {
      line += text[i];
    }
  }
  return line;
}

NoticeBox MissionNotices::takeNext(const MessageLists& texts) {
  NoticeBox box;
  if (pending_.empty()) return box;
  const MissionResult first = pending_.front();
  QStringList lines;
  if (first.end == MissionEnd::Failed) {
    box.title = msgText(texts, MsgList::Downloads, kFailedBoxTitle);
  } else {
    box.title =
        msgText(texts, MsgList::Boxes,
                first.end == MissionEnd::Checked ? boxmsg::kFileMd5Title : boxmsg::kFileTitle);
    lines << msgText(texts, MsgList::Boxes, boxmsg::kDownloadOk);
  }
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (!sameKind(*it, first)) {
      ++it;
      continue;
    }
    lines << (first.end == MissionEnd::Failed ? failureLine(texts, *it) : local(it->fileName));
    it = pending_.erase(it);
  }
  box.text = lines.join('\n');
  return box;
}

}  // namespace remotefiles
