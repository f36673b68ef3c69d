// The seams through which the main window reaches the world outside it.
// The program passes the real implementations; window tests pass scripted
// ones that record what was shown and answer as told.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class IDeviceLink;
class IHttpClient;
struct AppState;

// Message boxes, questions and file dialogs. Called on the window's thread
// only; workers reach them through runOnUiThread.
class IDialogs {
 public:
  virtual ~IDialogs() = default;
  // A plain informational box with one OK button.
  virtual void showMessage(const QString& title, const QString& text) = 0;
  // The toolkit's standard error box for a runtime failure.
  virtual void showError(const QString& text) = 0;
  // A question with Yes and No buttons and no icon; true for Yes.
  virtual bool askYesNo(const QString& title, const QString& text) = 0;
  // A file-open dialog for one file. The filter is in the "Name(*.ext)|*.ext"
  // form (pairs separated by '|'). Returns the chosen path, empty on cancel.
  virtual QString openFile(const QString& filter, const QString& initialFolder) = 0;
  // The folder browser, opened at startFolder; returns the chosen folder,
  // empty on cancel.
  virtual QString browseFolder(const QString& title, const QString& startFolder) = 0;
};

class ISleeper {
 public:
  virtual ~ISleeper() = default;
  virtual void sleepMs(int milliseconds) = 0;
};

class IClock {
 public:
  virtual ~IClock() = default;
  virtual std::int64_t nowMs() = 0;
};

class IRandom {
 public:
  virtual ~IRandom() = default;
  // Seeds the generator (the program seeds from the clock).
  virtual void seed(std::uint64_t value) = 0;
  // A uniform draw from low to high, both included.
  virtual int between(int low, int high) = 0;
};

// The desktop's default web browser.
class IBrowser {
 public:
  virtual ~IBrowser() = default;
  // The browser's program; empty when none is found.
  virtual QString defaultBrowserPath() = 0;
  // Starts program with address as its one argument, never through a shell.
  virtual void launch(const QString& program, const QString& address) = 0;
};

// Everything the main window receives. Not owned by the window.
struct AppServices {
  AppServices() = default;
  AppServices(IDialogs* d, ISleeper* s, IClock* c, IRandom* r, IDeviceLink* link)
      : dialogs(d), sleeper(s), clock(c), random(r), device(link) {}

  IDialogs* dialogs = nullptr;
  ISleeper* sleeper = nullptr;
  IClock* clock = nullptr;
  IRandom* random = nullptr;
  IDeviceLink* device = nullptr;
  // Requests to the update server; none: every request fails.
  IHttpClient* http = nullptr;
  // Opens the web messages' addresses; none: no browser is found.
  IBrowser* browser = nullptr;
  // Folder of configs.ini, language/ and help/; empty: the program's own.
  QString exeFolder;
  // The update server's "A.B.C.D[:PORT]".
  QString updateServer;
  // What the program keeps between events (app/app_state.h); created beside
  // these services, it outlives the window.
  AppState* state = nullptr;
};
