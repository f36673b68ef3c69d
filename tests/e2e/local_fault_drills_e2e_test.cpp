// Fault drills on the operator's own machine, through the real window and
// device libraries against the lab: the download folder's disk fills up,
// the settings file cannot be written, and the window is closed while nine
// downloads run. The disk and the read-only file are mounts in a private
// mount namespace of this test (root only; skipped elsewhere).
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <QElapsedTimer>
#include <QtTest>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "app/app_state.h"
#include "common/ui_thread.h"
#include "device_lab.h"
#include "drill_support.h"
#include "lab_camera.h"

namespace fs = std::filesystem;
using namespace drill;

namespace {

constexpr const char* kCamera = "127.0.0.2";
constexpr std::size_t kBigFile = 3 * 1024 * 1024;
constexpr std::size_t kClipSize = 160 * 1024;
constexpr int kClips = 9;

QString clipName(int i) { return QString("clip%1.mp4").arg(i); }

// A mount of this test's own namespace, undone when it goes.
class Mount {
 public:
  Mount(const std::string& target, bool ok) : target_(target), ok_(ok) {
    if (!ok_) qWarning("mount on %s: %s", target.c_str(), std::strerror(errno));
  }
  ~Mount() {
    if (ok_) ::umount2(target_.c_str(), MNT_DETACH);
  }
  bool ok() const { return ok_; }

 private:
  std::string target_;
  bool ok_;
};

std::unique_ptr<Mount> smallDisk(const QString& folder, const char* size) {
  const std::string target = folder.toStdString();
  const std::string options = std::string("size=") + size;
  return std::make_unique<Mount>(target, ::mount("tmpfs", target.c_str(), "tmpfs",
                                                 MS_NOSUID | MS_NODEV, options.c_str()) == 0);
}

// The file stays where it is, its content readable, every write refused.
std::unique_ptr<Mount> readOnly(const QString& file) {
  const std::string target = file.toStdString();
  const bool ok =
      ::mount(target.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
      ::mount(nullptr, target.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
  return std::make_unique<Mount>(target, ok);
}

std::uint64_t freeBytes(const QString& folder) {
  struct statvfs s {};
  return ::statvfs(folder.toLocal8Bit().constData(), &s) == 0
             ? static_cast<std::uint64_t>(s.f_bavail) * s.f_frsize
             : 0;
}

}  // namespace

class LocalFaultDrills : public QObject {
  Q_OBJECT

  QTemporaryDir work_, downloads_;
  fs::path templates_;
  std::unique_ptr<devsim::DeviceLab> lab_;
  std::unique_ptr<Surroundings> around_;
  DrillWindow win_;
  int threadsBefore_ = 0;
  bool privateMounts_ = false;

  TMainForm& f() { return win_.f(); }
  fs::path onDevice(const QString& name) {
    return templates_ / "CAM0001A" / "sdcard" / name.toStdString();
  }
  QString configsIni() { return win_.exeDir.filePath("configs.ini"); }

  bool loggedInAtTheFiles() {
    if (!win_.logIn(kCamera) || !win_.listingDone()) return false;
    win_.showPage("Tovarin");
    return true;
  }

 private slots:
  void initTestCase() {
    ::setenv("KESTRUM_IO_TIMEOUT_MS", "1500", 1);
    initUiThread();
    // A namespace of our own whose mounts reach nobody else.
    privateMounts_ = ::unshare(CLONE_NEWNS) == 0 &&
                     ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    templates_ = fs::path(work_.path().toStdString()) / "templates";
    const fs::path sdcard = templates_ / "CAM0001A" / "sdcard";
    writeFile(sdcard / "big.bin", patterned(kBigFile, 1));
    writeFile(sdcard / "small.txt", "a small file\n");
    for (int i = 1; i <= kClips; ++i)
      writeFile(sdcard / clipName(i).toStdString(), patterned(kClipSize, 10 + i));
  }

  void init() {
    if (win_.form) win_.destroy();  // a drill that failed half-way left its window
    devsim::LabConfig config;
    config.devices = {LabCamera{"CAM0001A", kCamera}.config(templates_)};
    lab_ = std::make_unique<devsim::DeviceLab>(config);
    std::string error;
    QVERIFY2(lab_->start(&error), error.c_str());
    around_ = std::make_unique<Surroundings>();
    win_.dialogs.clear();
    threadsBefore_ = liveThreads();
  }

  void cleanup() {
    lab_->device("CAM0001A")->setFaults({});
    if (win_.form) win_.destroy();
    checkNothingLeftBehind(threadsBefore_, *around_, {downloads_.path(), win_.exeDir.path()});
    around_.reset();
    lab_->stop();
    lab_.reset();
    for (const QString& name : filesUnder(downloads_.path()))
      QFile::remove(downloads_.filePath(name));
  }

  void diskFillsDuringADownload() {
    if (!privateMounts_) QSKIP("needs a private mount namespace (root)");
    const QString disk = downloads_.filePath("small disk");
    QVERIFY(QDir().mkpath(disk));
    const auto mounted = smallDisk(disk, "1m");
    QVERIFY(mounted->ok());
    const std::uint64_t freeBefore = freeBytes(disk);

    QVERIFY(win_.showUnlocked());
    f().DownloadSavePath_Edit->setText(disk);
    QVERIFY(loggedInAtTheFiles());
    win_.dialogs.clear();
    QVERIFY(win_.doubleClick("big.bin"));  // 3 MB onto a 1 MB disk
    QVERIFY(win_.missionsDone());
    QCOMPARE(filesUnder(disk), QStringList());
    QCOMPARE(freeBytes(disk), freeBefore);  // the side file went too
    QCOMPARE(win_.downloadsReported(), 0);

    // An operator's file of that name survives the failed replacement.
    writeFile(fs::path(disk.toStdString()) / "big.bin", "the operator's own file");
    win_.dialogs.answers = {true};
    QVERIFY(win_.doubleClick("big.bin"));
    QVERIFY(win_.missionsDone());
    QCOMPARE(filesUnder(disk), QStringList({"big.bin"}));
    QCOMPARE(readAll(fs::path(disk.toStdString()) / "big.bin"),
             std::string("the operator's own file"));

    // What fits still comes down.
    QVERIFY(win_.doubleClick("small.txt"));
    QVERIFY(win_.missionsDone());
    QCOMPARE(readAll(fs::path(disk.toStdString()) / "small.txt"), readAll(onDevice("small.txt")));
    QCOMPARE(win_.downloadsReported(), 1);
    win_.destroy();
  }

  void settingsFileCannotBeWritten() {
    if (!privateMounts_) QSKIP("needs a private mount namespace (root)");
    QVERIFY(win_.showUnlocked());
    const std::string before = readAll(configsIni().toStdString());
    QVERIFY(!before.empty());  // the start wrote the folders into it
    const auto locked = readOnly(configsIni());
    QVERIFY(locked->ok());
    const QString unableToWrite = "Unable to write to " + configsIni();

    // The pages are behind the login panel until a login folds it.
    QVERIFY(loggedInAtTheFiles());
    win_.dialogs.clear();

    // The speed limit: taken for this run, the refusal shown.
    win_.showPage("Options");
    f().DownloadSpeedLimit_Edit->setValue(800);
    QVERIFY(win_.click(f().DSLApply_Btn));
    QCOMPARE(f().state().settings.speedLimit, 800);
    QVERIFY(!f().DSLApply_Btn->isEnabled());
    QCOMPARE(win_.dialogs.boxes().back().kind, ShownBox::Error);
    QCOMPARE(win_.dialogs.boxes().back().text, unableToWrite);

    // A chosen folder: used for this run, the refusal shown.
    win_.dialogs.folders = {downloads_.path()};
    QVERIFY(win_.click(f().DownloadSavePathBrows_Btn));
    QCOMPARE(f().DownloadSavePath_Edit->text(), downloads_.path());
    QCOMPARE(win_.dialogs.texts().count(unableToWrite), 2);
    QCOMPARE(readAll(configsIni().toStdString()), before);

    // The window goes on working with what it was given.
    win_.showPage("Tovarin");
    QVERIFY(win_.doubleClick("small.txt"));
    QVERIFY(win_.missionsDone());
    QCOMPARE(readAll(fs::path(downloads_.path().toStdString()) / "small.txt"),
             readAll(onDevice("small.txt")));
    QVERIFY(QFile::remove(downloads_.filePath("small.txt")));
    win_.destroy();

    // Starting with a settings file that is empty and cannot be written:
    // one report, and the default folders beside the program.
    DrillWindow fresh;
    QVERIFY(QFile(fresh.exeDir.filePath("configs.ini")).open(QIODevice::WriteOnly));
    const auto lockedEmpty = readOnly(fresh.exeDir.filePath("configs.ini"));
    QVERIFY(lockedEmpty->ok());
    QVERIFY(fresh.showWindow());
    QCOMPARE(fresh.dialogs.texts(),
             QStringList({"Unable to write to " + fresh.exeDir.filePath("configs.ini")}));
    QCOMPARE(fresh.form->DownloadSavePath_Edit->text(), fresh.exeDir.filePath("download"));
    QVERIFY(QDir(fresh.exeDir.filePath("download")).exists());
    QCOMPARE(halfWrittenUnder(fresh.exeDir.path()), QStringList());
    fresh.destroy();
  }

  void closingDuringNineDownloadsWaitsAndLeavesWholeFiles() {
    devsim::Faults slow;
    slow.slowKbps = 80;  // each clip takes two seconds
    lab_->device("CAM0001A")->setFaults(slow);
    QVERIFY(win_.showUnlocked());
    f().DownloadSavePath_Edit->setText(downloads_.path());
    QVERIFY(loggedInAtTheFiles());
    for (int i = 1; i <= kClips; ++i) QVERIFY(win_.doubleClick(clipName(i)));
    QVERIFY(QTest::qWaitFor([&] { return !filesUnder(downloads_.path()).isEmpty(); }, 5000));
    int running = 0;
    for (TThread* m : f().DownloadMissions) running += m && !m->Finished() ? 1 : 0;
    QCOMPARE(running, kClips);

    QElapsedTimer closing;
    closing.start();
    QVERIFY(f().close());  // stops every mission and waits for each
    QVERIFY(closing.elapsed() < 20000);
    win_.destroy();
    // Each clip is whole under its name, or not there at all.
    for (const QString& name : filesUnder(downloads_.path())) {
      QVERIFY2(name.startsWith("clip") && name.endsWith(".mp4"), qPrintable(name));
      QVERIFY2(
          readAll(fs::path(downloads_.filePath(name).toStdString())) == readAll(onDevice(name)),
          qPrintable(name));
    }
  }

  void closingDuringNineHungDownloadsEndsWithinTheTimeout() {
    devsim::Faults slow;
    slow.slowKbps = 40;
    lab_->device("CAM0001A")->setFaults(slow);
    QVERIFY(win_.showUnlocked());
    f().DownloadSavePath_Edit->setText(downloads_.path());
    QVERIFY(loggedInAtTheFiles());
    for (int i = 1; i <= kClips; ++i) QVERIFY(win_.doubleClick(clipName(i)));
    QVERIFY(QTest::qWaitFor([&] { return filesUnder(downloads_.path()).size() == kClips; }, 5000));
    slow.stall = true;  // the camera hangs with every clip half sent
    lab_->device("CAM0001A")->setFaults(slow);

    QElapsedTimer closing;
    closing.start();
    QVERIFY(f().close());
    QVERIFY(closing.elapsed() < 10000);  // the device library's 1.5 s, for all nine at once
    win_.destroy();
    QCOMPARE(filesUnder(downloads_.path()), QStringList());
    QCOMPARE(win_.downloadsReported(), 0);
  }
};

QTEST_MAIN(LocalFaultDrills)
#include "local_fault_drills_e2e_test.moc"
