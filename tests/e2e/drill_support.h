// What every fault drill checks after its fault: the threads the window
// started have ended with it, nothing was written outside the folders the
// operator chose, and no half-written download lies under any name.
#pragma once

#include <QDir>
#include <QDirIterator>
#include <QStringList>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/mainform.h"
#include "common/worker_thread.h"
#include "e2e_window.h"

namespace drill {

namespace fs = std::filesystem;

// The threads of this process (the lab's and the update server's included).
// Qt's shared pool keeps idle workers of its own for half a minute; they
// are none of the program's and are let go first.
inline int liveThreads() {
  QThreadPool::globalInstance()->waitForDone(2000);
  int count = 0;
  for ([[maybe_unused]] const auto& task : fs::directory_iterator("/proc/self/task")) ++count;
  return count;
}

// The names of this process's threads, for a failure message.
inline QString threadNames() {
  QStringList names;
  for (const auto& task : fs::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    names << QString::fromStdString(name);
  }
  return names.join(", ");
}

// Waits until no more threads live than `before`; an empty text when so,
// otherwise what is still running, for the failure message.
inline QString threadsLeftOver(int before) {
  if (QTest::qWaitFor([&] { return liveThreads() <= before; }, 5000)) return {};
  return QString("%1 threads, %2 before the window: %3")
      .arg(liveThreads())
      .arg(before)
      .arg(threadNames());
}

// Every file below folder, hidden ones too, relative to it and sorted.
inline QStringList filesUnder(const QString& folder) {
  QStringList out;
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) out << QDir(folder).relativeFilePath(it.next());
  out.sort();
  return out;
}

// Side files of an unfinished transfer or settings write, anywhere below folder.
inline QStringList halfWrittenUnder(const QString& folder) {
  QStringList out;
  for (const QString& name : filesUnder(folder))
    if (name.endsWith(".part") || name.endsWith(".tmp")) out << name;
  return out;
}

inline std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// Bytes that differ from one offset to the next, so that a shifted or cut
// copy never compares equal.
inline std::string patterned(std::size_t size, unsigned seed) {
  std::string out(size, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (char& c : out) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return out;
}

// The process's working folder and home for the time of a drill: a program
// that writes to a relative path or under the home folder leaves files here.
class Surroundings {
 public:
  Surroundings() {
    oldHome_ = qgetenv("HOME");
    oldCwd_ = QDir::currentPath();
    qputenv("HOME", home_.path().toLocal8Bit());
    QDir::setCurrent(cwd_.path());
  }
  ~Surroundings() {
    QDir::setCurrent(oldCwd_);
    qputenv("HOME", oldHome_);
  }
  QStringList strayFiles() const { return filesUnder(home_.path()) + filesUnder(cwd_.path()); }

 private:
  QTemporaryDir home_, cwd_;
  QByteArray oldHome_;
  QString oldCwd_;
};

// After a drill: no thread of the window's left running, nothing written
// outside the chosen folders, no half-written file in the given folders.
inline void checkNothingLeftBehind(int threadsBefore, const Surroundings& around,
                                   const QStringList& folders) {
  const QString leftOver = threadsLeftOver(threadsBefore);
  QVERIFY2(leftOver.isEmpty(), qPrintable(leftOver));
  QCOMPARE(around.strayFiles(), QStringList());
  for (const QString& folder : folders) QCOMPARE(halfWrittenUnder(folder), QStringList());
}

// The window with the technician's pages unlocked, shown, and the page
// helpers the drills share.
struct DrillWindow : E2eWindow {
  TMainForm& f() { return *form; }

  bool showWindow() {
    create();
    form->show();
    form->activateWindow();
    if (QTest::qWaitForWindowActive(form.get())) return true;
    qWarning("the window did not become active");
    return false;
  }
  bool showUnlocked() { return showWindow() && unlock(); }
  // Opens the console and types the access code that shows the hidden pages.
  bool unlock() {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : form.get(), '`');
    QTest::keyClicks(form->Command_Edit, "qelvomtr");
    QTest::keyClick(form->Command_Edit, Qt::Key_Return);
    return form->Pages_PageControl->isTabVisible(form->Tovarin_Page);
  }
  void showPage(const QString& caption) {
    QTabBar* tabs = form->Pages_PageControl->tabBar();
    for (int i = 0; i < tabs->count(); ++i)
      if (tabs->tabText(i) == caption)
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(i).center());
  }
  bool listingDone(int ms = 10000) {
    return QTest::qWaitFor([&] { return form->ListingThread && form->ListingThread->Finished(); },
                           ms);
  }
  bool missionsDone(int ms = 20000) {
    return QTest::qWaitFor(
        [&] {
          for (TThread* m : form->DownloadMissions)
            if (m && !m->Finished()) return false;
          return true;
        },
        ms);
  }
  QStringList shownNames() {
    QStringList out;
    for (int i = 0; i < form->FileList_LV->count(); ++i) out << form->FileList_LV->item(i)->text();
    out.sort();
    return out;
  }
  // Double-clicks an item as the operator does.
  bool doubleClick(const QString& name) {
    const auto found = form->FileList_LV->findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) return false;
    QListWidgetItem* item = found.first();
    form->FileList_LV->scrollToItem(item);
    const QPoint at = form->FileList_LV->visualItemRect(item).center();
    QTest::mouseClick(form->FileList_LV->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(form->FileList_LV->viewport(), Qt::LeftButton, {}, at);
    return true;
  }
  int shownCount(const QString& text) { return static_cast<int>(dialogs.texts().count(text)); }
  // Files named in "download ok" boxes (missions ending together share one).
  int downloadsReported() {
    int files = 0;
    for (const QString& text : dialogs.texts())
      if (text.startsWith("download ok\n")) files += static_cast<int>(text.count('\n'));
    return files;
  }
};

}  // namespace drill
