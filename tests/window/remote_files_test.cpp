// The file page against the scripted device link: the listing worker, Open
// and Up, the pop-up menu and the download missions.
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "common/file_helpers.h"
#include "common/worker_thread.h"
#include "form_fixture.h"
#include "remotefiles/download_worker.h"
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
    if (queue->empty()) return KESTRUM_FAIL_CONNECTION;
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

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Every announced file arrives as `content`; RecvFile waits until `release`
// is set and counts the missions inside it.
void scriptHeldFiles(FormFixture& fx, const std::string& content, std::atomic<bool>& release,
                     std::atomic<int>& inside) {
  const auto size = static_cast<int32_t>(content.size());
  fx.device.onRecvData = [size](void*, int32_t*, int32_t* s, uint16_t, int32_t*) {
    *s = size;
    return 3;
  };
  fx.device.onRecvFile = [&release, &inside, content](const char* path, int32_t, uint16_t,
                                                      int32_t*) {
    ++inside;
    while (!release) pause(2);
    std::ofstream(path, std::ios::binary) << content;
    return 0;
  };
}

QStringList boxTexts(FormFixture& fx, const QString& title) {
  QStringList out;
  for (const auto& b : fx.dialogs.boxes())
    if (b.title == title) out << b.text;
  return out;
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
    QCOMPARE(f.state().files.currentRelPath, std::string("odd"));
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

  void upGoesUpOneLevel() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.Backdir_BtnClick();  // nothing listed yet: nothing
    QVERIFY(fx.device.searchDirCalls().empty());
    QVERIFY(!f.ListingThread);

    auto openDirAndGoUp = [&](const std::string& parent, const QString& name) {
      f.FileListAddItemByName(name.toStdString(), parent, '1');
      open(f, name);
      QVERIFY(waitListingDone(f));
      f.Backdir_BtnClick();
      QVERIFY(waitListingDone(f));
    };
    openDirAndGoUp("DCIM", ".thumbs");
    QCOMPARE(fx.device.searchDirCalls().back().path, std::string("DCIM"));
    QCOMPARE(fx.device.searchDirCalls().back().code, 2);
    QCOMPARE(f.Path_SEdit->text(), QString("/sdcard/DCIM"));
    openDirAndGoUp("backup.v1", "2026-11");
    QCOMPARE(fx.device.searchDirCalls().back().path, std::string("backup.v1"));
    QCOMPARE(f.Path_SEdit->text(), QString("/sdcard/backup.v1"));

    // A file opened last plays no part: Up leaves the folder shown.
    f.FileListAddItemByName("README", "backup.v1", '2');
    open(f, "README");
    QVERIFY(waitMissionsDone(f));
    f.Backdir_BtnClick();
    QVERIFY(waitListingDone(f));
    QCOMPARE(fx.device.searchDirCalls().back().path, std::string());
    QCOMPARE(fx.device.searchDirCalls().back().code, 1);
    QCOMPARE(f.Path_SEdit->text(), QString("/sdcard"));
    QCOMPARE(f.state().files.currentRelPath, std::string());
    const auto calls = fx.device.searchDirCalls().size();
    f.Backdir_BtnClick();  // the root has no parent
    QCOMPARE(fx.device.searchDirCalls().size(), calls);
  }

  void aNewLoginKeepsItsConnectionFromTheOldListing() {
    FormFixture fx;
    TMainForm& f = fx.create();
    // The first login's listing waits in RecvData until its connection closes.
    fx.device.onRecvData = [&fx](void*, int32_t* count, int32_t*, uint16_t, int32_t* handle) {
      const int32_t h = *handle;
      while (h == 1 && fx.device.openHandles().count(h)) pause(2);
      *count = 0;
      return KESTRUM_FAIL_CONNECTION;
    };
    unlockAndLogIn(f);
    QVERIFY(waitUntil([&] { return fx.device.searchDirCalls().size() == 1; }));
    f.Login_SBtn->setText("Login");  // as a language change relabels "ChangeDev"
    f.Login_SBtnClick();
    QVERIFY(waitListingDone(f));
    const auto calls = fx.device.searchDirCalls();
    QCOMPARE(calls.size(), size_t(2));
    QCOMPARE(calls[1].handle, 2);  // the login's own connection
    QCOMPARE(fx.device.connectAddresses.size(), size_t(2));
    QVERIFY(fx.device.openHandles().empty());
    QCOMPARE(fx.state.session.CommandConnection, -1);
  }

  void aListingToldToStopIsFreedBeforeTheNext() {
    FormFixture fx;
    TMainForm& f = fx.create();
    struct Lingering : TThread {
      std::atomic<bool>& destroyed;
      explicit Lingering(std::atomic<bool>& d) : destroyed(d) {}
      ~Lingering() override { destroyed = true; }
      void Execute() override {
        while (!Terminated()) pause(1);
        pause(100);  // still at work after being told to stop
      }
    };
    std::atomic<bool> destroyed{false};
    f.ListingThread = new Lingering(destroyed);
    f.ListingThread->Start();
    f.ListingThread->Terminate();
    f.FileListAddItemByName("DCIM", "", '1');
    open(f, "DCIM");
    QVERIFY(destroyed);
    QVERIFY(waitListingDone(f));
    QCOMPARE(fx.device.searchDirCalls().back().path, std::string("DCIM"));
  }

  void aPathTooLongForTheFieldIsRefused() {
    FormFixture fx;
    TMainForm& f = fx.create();
    f.FileListAddItemByName(std::string(200, 'd'), std::string(100, 'p'), '1');
    open(f, QString(200, 'd'));
    QVERIFY(fx.device.searchDirCalls().empty());
    QVERIFY(f.state().files.currentRelPath.empty());
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

    // A right-click on an empty spot leaves the old selection out.
    const QRect itemAt = f.FileList_LV->visualItemRect(itemNamed(f, "a.jpg"));
    QVERIFY(!itemAt.contains(400, 400));
    emit f.FileList_LV->customContextMenuRequested(QPoint(400, 400));
    QVERIFY(f.FileListMenu_PopupMenu->isVisible());
    QVERIFY(!f.OpenBtn->isEnabled());
    QCOMPARE(f.OpenBtn->text(), QString("&Open"));
    f.FileListMenu_PopupMenu->hide();
    f.OpenBtnClick();  // even so, nothing is downloaded
    QVERIFY(fx.device.searchDirCalls().empty());
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
    open(f, "g.avi");  // the tenth: the nine have ended, so their slots are free
    QVERIFY(waitMissionsDone(f));
    QVERIFY(!fx.dialogs.texts().contains("Download missions reach limit!"));
    QCOMPARE(f.state().files.currentRelPath, std::string("DCIM/g.avi"));
    std::map<std::string, int32_t> codes;
    for (const auto& call : fx.device.searchDirCalls()) codes[call.path] = call.code;
    QCOMPARE(codes.size(), size_t(10));
    QCOMPARE(codes["DCIM/a.jpg"], 4);
    QCOMPARE(codes["DCIM/a.JPG"], 5);
    QCOMPARE(codes["DCIM/clip.mp4"], 5);
    QCOMPARE(codes["DCIM/README"], 5);
    QCOMPARE(codes["DCIM/b.png"], 4);
    QCOMPARE(codes["DCIM/c.bmp"], 4);
    QCOMPARE(codes["DCIM/d.jpeg"], 4);
    QCOMPARE(codes["DCIM/g.avi"], 5);
  }

  void nineAtOnceAndAMissionAtWorkKeepsItsSlot() {
    FormFixture fx;
    TMainForm& f = fx.create();
    QTemporaryDir downloads;
    f.DownloadSavePath_Edit->setText(downloads.path());
    std::atomic<bool> release{false};
    std::atomic<int> inside{0};
    const auto releaseAtEnd = qScopeGuard([&] { release = true; });
    scriptHeldFiles(fx, "data", release, inside);
    for (int i = 0; i < 10; ++i) f.FileListAddItemByName("n" + std::to_string(i), "", '2');
    // A declined overwrite takes a slot only while it asks.
    std::ofstream(downloads.filePath("n0").toStdString()) << "mine";
    open(f, "n0");
    QVERIFY(waitMissionsDone(f));
    for (int i = 1; i <= 9; ++i) open(f, "n" + QString::number(i));
    QVERIFY(waitUntil([&] { return inside == 9; }));
    const QString limit = "Download missions reach limit!";
    QCOMPARE(fx.dialogs.texts().count(limit), 0);
    open(f, "n0");  // a tenth while nine run
    QCOMPARE(fx.dialogs.texts().count(limit), 1);

    // Told to stop, the mission still receives: its slot is not yet free.
    TThread* stopping = f.DownloadMissions[0];
    stopping->Terminate();
    open(f, "n0");
    QCOMPARE(fx.dialogs.texts().count(limit), 2);
    QCOMPARE(f.DownloadMissions[0], stopping);

    release = true;
    QVERIFY(waitMissionsDone(f));
    fx.dialogs.answers = {true};
    open(f, "n0");  // no new login needed
    QVERIFY(waitMissionsDone(f));
    QCOMPARE(fx.dialogs.texts().count(limit), 2);
    QCOMPARE(fx.device.searchDirCalls().size(), size_t(10));
    QVERIFY(fx.device.openHandles().empty());
  }

  void runningMissionsShowProgressAndSpeed() {
    FormFixture fx;
    TMainForm& f = fx.create();
    QTemporaryDir downloads;
    f.DownloadSavePath_Edit->setText(downloads.path());
    std::atomic<bool> release{false};
    std::atomic<int> inside{0};
    const auto releaseAtEnd = qScopeGuard([&] { release = true; });
    scriptHeldFiles(fx, std::string(4096, 'x'), release, inside);
    f.FileListAddItemByName("clip.mp4", "", '2');
    fx.clock.now = 1000;
    open(f, "clip.mp4");
    QVERIFY(waitUntil([&] { return inside == 1; }));
    QVERIFY(f.DownloadProgress_Timer->isActive());
    QVERIFY(f.DownloadProgress_Timer->interval() <= 500);

    // The device library receives into a side file beside the target.
    const std::string side = downloads.filePath("clip.mp4.0123456789ab.part").toStdString();
    std::ofstream(side, std::ios::binary) << std::string(1024, 'x');
    f.DownloadProgress_TimerTimer();
    QVERIFY(!f.DownloadProgress_Panel->isHidden());
    QVERIFY(!f.MissionName_Labels[0]->isHidden());
    QCOMPARE(f.MissionName_Labels[0]->text(), QString("clip.mp4"));
    QCOMPARE(f.MissionProgress_Gauges[0]->value(), 25);
    std::ofstream(side, std::ios::binary | std::ios::app) << std::string(1024, 'x');
    fx.clock.now = 1500;
    f.DownloadProgress_TimerTimer();
    QCOMPARE(f.MissionProgress_Gauges[0]->progressText(), QString("50% at 2 KB/s"));
    QVERIFY(f.MissionName_Labels[1]->isHidden());

    QFile::remove(QString::fromStdString(side));
    release = true;
    QVERIFY(waitMissionsDone(f));
    QVERIFY(f.MissionName_Labels[0]->isHidden());
    QVERIFY(f.DownloadProgress_Panel->isHidden());
    QVERIFY(!f.DownloadProgress_Timer->isActive());
  }

  void failedDownloadsSayWhichFileAndWhy() {
    FormFixture fx;
    TMainForm& f = fx.create();
    QTemporaryDir downloads;
    f.MD5Need_CheckBox->setChecked(true);
    fx.device.onRecvData = [](void* buffer, int32_t*, int32_t* size, uint16_t, int32_t*) {
      std::memset(buffer, 0, 44);
      std::memcpy(buffer, std::string(32, '0').data(), 32);  // no file's digest
      *size = 4;
      return 3;
    };
    fx.device.onRecvFile = [](const char* path, int32_t, uint16_t, int32_t*) {
      if (QString(path).contains("drop")) return KESTRUM_FAIL_CONNECTION;
      if (QString(path).contains("throw")) throw std::runtime_error("disk gone");
      std::ofstream(path, std::ios::binary) << "data";
      return 0;
    };
    for (const char* name : {"drop.mp4", "a.mp4", "dir.mp4", "bad.mp4", "throw.mp4"})
      f.FileListAddItemByName(name, "", '2');
    QDir(downloads.path()).mkdir("dir.mp4");
    const QString gone = downloads.filePath("gone");
    struct Case {
      QString folder, file, line;
    };
    for (const Case& c : {
             Case{downloads.path(), "drop.mp4", "drop.mp4: the connection to the device was lost."},
             Case{gone, "a.mp4", "a.mp4: the download folder " + gone + " does not exist."},
             Case{"", "a.mp4", "a.mp4: no download folder is set (Options page)."},
             Case{downloads.path(), "dir.mp4",
                  "dir.mp4: a folder of that name is in the way in the download folder."},
             Case{downloads.path(), "bad.mp4",
                  "bad.mp4: the MD5 check failed; the file was not kept."},
             // A mission that breaks on an error still ends, and says so.
             Case{downloads.path(), "throw.mp4",
                  "throw.mp4: the file could not be written into the download folder."},
         }) {
      f.DownloadSavePath_Edit->setText(c.folder);
      open(f, c.file);
      QVERIFY(waitMissionsDone(f));
      QCOMPARE(boxTexts(fx, "Download failed").value(0), c.line);
      fx.dialogs.clear();
    }
    // Only the fault of the device and the digest reached the device.
    QCOMPARE(fx.device.searchDirCalls().size(), size_t(3));
    // The file whose digest did not match is nowhere, under no name.
    QCOMPARE(QDir(downloads.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QVERIFY(!QFile::exists("/a.mp4"));
  }

  void missionsEndingWhileABoxIsUpShareTheNextBox() {
    FormFixture fx;
    TMainForm& f = fx.create();
    QTemporaryDir downloads;
    f.DownloadSavePath_Edit->setText(downloads.path());
    std::atomic<bool> release{false};
    std::atomic<int> held{0};
    const auto releaseAtEnd = qScopeGuard([&] { release = true; });
    fx.device.onRecvData = [](void*, int32_t*, int32_t* size, uint16_t, int32_t*) {
      *size = 4;
      return 3;
    };
    // b.jpg and c.jpg arrive once released; a.jpg at once.
    fx.device.onRecvFile = [&](const char* path, int32_t, uint16_t, int32_t*) {
      if (!QString(path).endsWith("a.jpg")) {
        ++held;
        while (!release) pause(2);
      }
      std::ofstream(path, std::ios::binary) << "data";
      return 0;
    };
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) f.FileListAddItemByName(name, "", '2');
    open(f, "b.jpg");
    open(f, "c.jpg");
    QVERIFY(waitUntil([&] { return held == 2; }));
    // The first box stays up (its own event loop, as a modal box) until the
    // two others have ended.
    int shownWhileUp = -1;
    fx.dialogs.onMessage = [&](const QString&) {
      if (shownWhileUp >= 0) return;
      release = true;
      waitUntil([&] {
        for (TThread* m : f.DownloadMissions)
          if (m && !dynamic_cast<TGetFileThread*>(m)->Ended()) return false;
        return true;
      });
      shownWhileUp = static_cast<int>(fx.dialogs.boxes().size());
    };
    open(f, "a.jpg");
    QVERIFY(waitMissionsDone(f));
    QCOMPARE(shownWhileUp, 1);
    const QStringList boxes = boxTexts(fx, "file");
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[0], QString("download ok\na.jpg"));
    QStringList shared = boxes[1].split('\n');  // b and c in the order they ended
    std::sort(shared.begin() + 1, shared.end());
    QCOMPARE(shared, QStringList({"download ok", "b.jpg", "c.jpg"}));
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
    QCOMPARE(boxTexts(fx, "file md5"), QStringList({"download ok\nclip.mp4"}));
    QCOMPARE(boxTexts(fx, "file"), QStringList({"download ok\npic.jpg"}));
    QCOMPARE(readAll(downloads.filePath("clip.mp4").toStdString()), content);
    // The upper-case digest did not match: no file, and the box says so.
    QVERIFY(!QFile::exists(downloads.filePath("other.mp4")));
    QCOMPARE(boxTexts(fx, "Download failed").size(), 1);
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
    QVERIFY(QFile::exists(folder + "/x"));
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
