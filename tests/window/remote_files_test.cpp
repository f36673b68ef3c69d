// The file page against the scripted device link: the listing worker, Open
// and Up, the pop-up menu and the download missions.
#include <QtTest>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>

#include "app/file_helpers.h"
#include "app/worker_thread.h"
#include "form_fixture.h"
#include "remotefiles/remote_paths.h"
#include "session/device_session.h"

namespace {

struct Entry {
  char kind;
  std::string name;
};
struct Reply {
  int32_t status;
  std::vector<Entry> entries;
  int32_t count = -1;  // -1: the number of entries
};

// Scripts the listing replies, in order; afterwards every RecvData fails.
void scriptListing(FormFixture& fx, std::vector<Reply> replies) {
  auto queue = std::make_shared<std::deque<Reply>>(replies.begin(), replies.end());
  auto mutex = std::make_shared<std::mutex>();
  fx.device.onRecvData = [queue, mutex](void* buffer, int32_t* count, int32_t*, uint16_t,
                                        int32_t*) {
    std::lock_guard lock(*mutex);
    if (queue->empty()) return -1;
    Reply r = queue->front();
    queue->pop_front();
    std::memset(buffer, 0, remotefiles::kReplyBufferSize);
    auto* bytes = static_cast<char*>(buffer);
    for (std::size_t i = 0; i < r.entries.size() && i < 10; ++i) {
      bytes[i * 48] = r.entries[i].kind;
      std::memcpy(bytes + i * 48 + 1, r.entries[i].name.data(),
                  std::min<std::size_t>(r.entries[i].name.size(), 47));
    }
    *count = r.count >= 0 ? r.count : static_cast<int32_t>(r.entries.size());
    return r.status;
  };
}

void unlockAndLogIn(TMainForm& f) {
  f.Command_Edit->setText("qelvomtr");
  f.CheckCommand(f.Command_Edit);
  f.IPAddress_Edit->setText("127.0.0.2");
  f.Login_SBtnClick();
}

bool waitListingDone(TMainForm& f) {
  return waitUntil([&] { return f.ListingThread && f.ListingThread->Finished(); });
}

bool waitMissionsDone(TMainForm& f) {
  return waitUntil([&] {
    for (TThread* m : f.DownloadMissions)
      if (m && !m->Finished()) return false;
    return true;
  });
}

QListWidgetItem* itemNamed(TMainForm& f, const QString& name) {
  const auto found = f.FileList_LV->findItems(name, Qt::MatchExactly);
  return found.isEmpty() ? nullptr : found.first();
}

void open(TMainForm& f, const QString& name) {
  f.FileList_LV->clearSelection();
  QListWidgetItem* item = itemNamed(f, name);
  QVERIFY2(item, qPrintable(name));
  item->setSelected(true);
  f.FileList_LVDblClick();
}

// The listing's 50 ms pauses (the login panel's fold sleeps too).
int pausesOf(FormFixture& fx) {
  return static_cast<int>(std::count(fx.sleeper.sleeps.begin(), fx.sleeper.sleeps.end(), 50));
}

int imageOf(QListWidgetItem* item) { return item->data(Qt::UserRole + 2).toInt(); }
QString fullPathOf(QListWidgetItem* item) {
  return QString::fromLocal8Bit(item->data(Qt::UserRole).toByteArray());
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

class RemoteFilesTest : public QObject {
  Q_OBJECT
 private slots:
  void loginListsTheRootWithIconsAndPaths() {
    FormFixture fx;
    TMainForm& f = fx.create();
    const std::string name47(47, 'n');
    scriptListing(fx, {{1,
                        {{'1', "DCIM"},
                         {'2', "clip.mp4"},
                         {'2', "clip.MP4"},
                         {'2', "clip.mkv"},
                         {'3', "odd"},
                         {'\0', "ghost"},
                         {'2', ""},
                         {'2', name47}}},
                       {1, {}}});
    unlockAndLogIn(f);
    QVERIFY(waitListingDone(f));
    auto dirs = fx.device.searchDirCalls();
    QCOMPARE(dirs.size(), size_t(1));
    QCOMPARE(dirs[0].code, 1);
    QCOMPARE(dirs[0].path, std::string());
    QCOMPARE(f.FileList_LV->count(), 6);  // kind 0x00 and the empty name skipped
    QCOMPARE(f.FileList_LV->item(0)->text(), QString("DCIM"));
    QCOMPARE(fullPathOf(f.FileList_LV->item(0)), QString("/sdcard/DCIM"));
    QCOMPARE(imageOf(itemNamed(f, "DCIM")), 0);
    QCOMPARE(imageOf(itemNamed(f, "clip.mp4")), 1);
    QCOMPARE(imageOf(itemNamed(f, "clip.MP4")), 2);
    QCOMPARE(imageOf(itemNamed(f, "clip.mkv")), 2);
    QCOMPARE(imageOf(itemNamed(f, "odd")), 0);
    QVERIFY(itemNamed(f, QString::fromStdString(name47)));
    // One pause after the full reply; the empty reply ends without one.
    QCOMPARE(pausesOf(fx), 1);
    // The listing's end releases the session connection.
    QCOMPARE(fx.state.session.CommandConnection, -1);
    QVERIFY(fx.device.openHandles().empty());

    // A kind "3" opens as a directory.
    scriptListing(fx, {{1, {{'2', "my clip, 1.mp4"}}}, {1, {}}});
    open(f, "odd");
    QVERIFY(waitListingDone(f));
    dirs = fx.device.searchDirCalls();
    QCOMPARE(dirs.back().code, 2);
    QCOMPARE(dirs.back().path, std::string("odd"));
    QCOMPARE(f.Path_SEdit->text(), QString("/sdcard/odd"));
    QCOMPARE(f.CurrentRelPath, std::string("odd"));
    QCOMPARE(fullPathOf(f.FileList_LV->item(0)), QString("/sdcard/odd/my clip, 1.mp4"));
  }

  void countBeyondTheBufferAndFailedStatusEndTheListing() {
    FormFixture fx;
    TMainForm& f = fx.create();
    std::vector<Entry> ten;
    for (int i = 0; i < 10; ++i) ten.push_back({'2', "f" + std::to_string(i)});
    scriptListing(fx, {{1, ten, 5000}, {-1, {}}});
    unlockAndLogIn(f);
    QVERIFY(waitListingDone(f));
    QCOMPARE(f.FileList_LV->count(), 10);
    QCOMPARE(pausesOf(fx), 2);  // after a failed status too
  }

  void sendErrorIsShownAndTheListStaysEmpty() {
    FormFixture fx;
    TMainForm& f = fx.create();
    fx.device.searchDirResults = {-1};  // the root listing's request
    unlockAndLogIn(f);
    QVERIFY(waitListingDone(f));
    QVERIFY(fx.dialogs.texts().contains("send error"));
    QCOMPARE(f.FileList_LV->count(), 0);
  }

  void upFollowsTheExtensionRule() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.Backdir_BtnClick();  // empty CurrentRelPath: nothing
    QVERIFY(fx.device.searchDirCalls().empty());
    QVERIFY(!f.ListingThread);

    struct Case {
      std::string from, path, shown;
      int32_t code;
    };
    for (const Case& c :
         {Case{"DCIM", "", "/sdcard", 1}, Case{"DCIM/a.jpg", "", "/sdcard", 1},
          Case{"DCIM/.thumbs", "", "/sdcard", 1}, Case{"DCIM/README", "DCIM", "/sdcard/DCIM", 2}}) {
      f.CurrentRelPath = c.from;
      f.Backdir_BtnClick();
      QVERIFY(waitListingDone(f));
      const auto last = fx.device.searchDirCalls().back();
      QCOMPARE(last.path, c.path);
      QCOMPARE(last.code, c.code);
      QCOMPARE(f.Path_SEdit->text(), QString::fromStdString(c.shown));
      QCOMPARE(f.CurrentRelPath, c.path);
    }
  }

  void aPathTooLongForTheFieldIsRefused() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.FileListAddItemByName(std::string(200, 'd'), std::string(100, 'p'), '1');
    open(f, QString(200, 'd'));
    QVERIFY(fx.device.searchDirCalls().empty());
    QVERIFY(f.CurrentRelPath.empty());
    QCOMPARE(fx.dialogs.boxes().size(), size_t(1));
  }

  void popupMenuFollowsTheSelection() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.FileListAddItemByName("DCIM", "", '1');
    f.FileListAddItemByName("a.jpg", "", '2');
    f.FileListMenu_PopupMenuPopup();
    QVERIFY(!f.OpenBtn->isEnabled());
    QCOMPARE(f.OpenBtn->text(), QString("&Open"));
    itemNamed(f, "DCIM")->setSelected(true);
    f.FileListMenu_PopupMenuPopup();
    QVERIFY(f.OpenBtn->isEnabled());
    QCOMPARE(f.OpenBtn->text(), QString("&Open"));
    f.FileList_LV->clearSelection();
    itemNamed(f, "a.jpg")->setSelected(true);
    f.FileListMenu_PopupMenuPopup();
    QVERIFY(f.OpenBtn->isEnabled());
    QCOMPARE(f.OpenBtn->text(), QString("&Download"));
  }

  void missionCodesAndTheTenthMission() {
    FormFixture fx;
    TMainForm& f = fx.create();
    QTemporaryDir downloads;
    f.DownloadSavePath_Edit->setText(downloads.path());
    f.MD5Need_CheckBox->setChecked(true);
    for (const char* name : {"a.jpg", "a.JPG", "clip.mp4", "README", "b.png", "c.bmp", "d.jpeg",
                             "e.txt", "f.avi", "g.avi"})
      f.FileListAddItemByName(name, "DCIM", '2');
    for (const char* name :
         {"a.jpg", "a.JPG", "clip.mp4", "README", "b.png", "c.bmp", "d.jpeg", "e.txt", "f.avi"})
      open(f, name);
    QVERIFY(waitMissionsDone(f));
    QVERIFY(!fx.dialogs.texts().contains("Download missions reach limit!"));
    open(f, "g.avi");  // the tenth, although the nine have ended
    QVERIFY(fx.dialogs.texts().contains("Download missions reach limit!"));
    QCOMPARE(f.CurrentRelPath, std::string("DCIM/g.avi"));
    std::map<std::string, int32_t> codes;
    for (const auto& call : fx.device.searchDirCalls()) codes[call.path] = call.code;
    QCOMPARE(codes.size(), size_t(9));
    QCOMPARE(codes["DCIM/a.jpg"], 4);
    QCOMPARE(codes["DCIM/a.JPG"], 5);
    QCOMPARE(codes["DCIM/clip.mp4"], 5);
    QCOMPARE(codes["DCIM/README"], 5);
    QCOMPARE(codes["DCIM/b.png"], 4);
    QCOMPARE(codes["DCIM/c.bmp"], 4);
    QCOMPARE(codes["DCIM/d.jpeg"], 4);
    // After the stop-all of a new login, nine more can start.
    f.StopAllThreads();
    open(f, "g.avi");
    QVERIFY(waitMissionsDone(f));
    QCOMPARE(fx.device.searchDirCalls().back().path, std::string("DCIM/g.avi"));
    QCOMPARE(fx.device.searchDirCalls().back().code, 5);
  }

  void reportsDependOnTheExactDigest() {
    FormFixture fx;
    TMainForm& f = fx.create();
    QTemporaryDir downloads;
    f.DownloadSavePath_Edit->setText(downloads.path());
    f.MD5Need_CheckBox->setChecked(true);
    const std::string content = "recorded bytes of the camera";
    std::string digest;
    bool upper = false;
    fx.device.onRecvData = [&](void* buffer, int32_t*, int32_t* size, uint16_t, int32_t*) {
      std::string text = digest;
      if (upper)
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      std::memset(buffer, 0, 44);
      std::memcpy(buffer, text.data(), text.size());
      *size = static_cast<int32_t>(content.size());
      return 3;
    };
    fx.device.onRecvFile = [&](const char* path, int32_t, uint16_t, int32_t*) {
      std::ofstream(path, std::ios::binary) << content;
      return 0;
    };
    {  // the digest the device would send for these bytes
      QTemporaryDir tmp;
      const std::string p = tmp.filePath("x").toStdString();
      std::ofstream(p, std::ios::binary) << content;
      digest = FileMd5Hex(p);
    }
    f.FileListAddItemByName("clip.mp4", "", '2');
    f.FileListAddItemByName("other.mp4", "", '2');
    f.FileListAddItemByName("pic.jpg", "", '2');
    open(f, "clip.mp4");
    QVERIFY(waitMissionsDone(f));
    upper = true;
    open(f, "other.mp4");
    QVERIFY(waitMissionsDone(f));
    open(f, "pic.jpg");  // code 4: no check
    QVERIFY(waitMissionsDone(f));
    std::vector<QString> titles;
    for (const auto& b : fx.dialogs.boxes())
      if (b.text == "download ok") titles.push_back(b.title);
    QCOMPARE(titles, std::vector<QString>({"file md5", "file"}));
    QCOMPARE(readAll(downloads.filePath("clip.mp4").toStdString()), content);
  }

  void deviceNamesStayInsideTheDownloadFolder() {
    FormFixture fx;
    TMainForm& f = fx.create();
    QTemporaryDir root;
    QDir(root.path()).mkpath("a/b/downloads");
    const QString folder = root.filePath("a/b/downloads");
    f.DownloadSavePath_Edit->setText(folder);
    fx.device.onRecvData = [](void*, int32_t*, int32_t* size, uint16_t, int32_t*) {
      *size = 1;
      return 3;
    };
    fx.device.onRecvFile = [](const char* path, int32_t, uint16_t, int32_t*) {
      std::ofstream(path) << "x";
      return 0;
    };
    f.FileListAddItemByName("../../x", "", '2');
    f.FileListAddItemByName("..", "DCIM", '2');
    open(f, "../../x");
    QVERIFY(waitMissionsDone(f));
    open(f, "..");
    QVERIFY(waitMissionsDone(f));
    QCOMPARE(fx.device.recvFilePaths, std::vector<std::string>({(folder + "/x").toStdString()}));
    QVERIFY(!QFile::exists(root.filePath("x")));
    // ".." never reaches the device: refused with a message.
    QCOMPARE(fx.device.searchDirCalls().size(), size_t(1));
    QVERIFY(fx.dialogs.texts().last().contains("not a plain file name"));
  }

  void overwriteIsAskedBeforeAnythingIsSent() {
    FormFixture fx;
    TMainForm& f = fx.create();
    QTemporaryDir downloads;
    f.DownloadSavePath_Edit->setText(downloads.path());
    std::ofstream(downloads.filePath("a.jpg").toStdString()) << "mine";
    f.FileListAddItemByName("a.jpg", "DCIM/100MEDIA", '2');
    fx.dialogs.answers = {false};
    open(f, "a.jpg");
    QVERIFY(waitMissionsDone(f));
    QVERIFY(fx.device.searchDirCalls().empty());
    const auto boxes = fx.dialogs.boxes();
    QCOMPARE(boxes.size(), size_t(1));
    QCOMPARE(boxes[0].title, QString("Download Warning"));
    QCOMPARE(boxes[0].text, QString("File Exist, do you want to overwrite it?"));
    fx.dialogs.answers = {true};
    open(f, "a.jpg");
    QVERIFY(waitMissionsDone(f));
    QCOMPARE(fx.device.searchDirCalls().size(), size_t(1));
    QCOMPARE(fx.device.searchDirCalls()[0].path, std::string("DCIM/100MEDIA/a.jpg"));
    // Every mission released its own connection at its end.
    QVERIFY(fx.device.openHandles().empty());
  }
};

QTEST_MAIN(RemoteFilesTest)
#include "remote_files_test.moc"
