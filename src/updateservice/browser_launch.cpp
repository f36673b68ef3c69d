#include "updateservice/browser_launch.h"

#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

bool isOpenableAddress(const QString& address) {
  if (!address.startsWith("http://", Qt::CaseInsensitive) &&
      !address.startsWith("https://", Qt::CaseInsensitive))
    return false;
  for (const QChar c : address)
    if (c.category() == QChar::Other_Control) return false;
  return true;
}

bool openWebAddress(IBrowser* browser, const QString& browserPath, const QString& address) {
  if (!browser || browserPath.isEmpty() || !isOpenableAddress(address)) return false;
  browser->launch(browserPath, address);
  return true;
}

QString browserPathFromCommand(const QString& command) {
  const qsizetype first = command.indexOf('"');
  if (first < 0) return {};
  const qsizetype second = command.indexOf('"', first + 1);
  if (second < 0) return command.mid(first + 1);
  return command.mid(first + 1, second - first - 1);
}

QString SystemBrowser::defaultBrowserPath() {
#ifdef Q_OS_WIN
  const QSettings command(R"(HKEY_CLASSES_ROOT\HTTP\Shell\open\command)", QSettings::NativeFormat);
  return browserPathFromCommand(command.value("Default").toString());
#else
  return QStandardPaths::findExecutable("xdg-open");
#endif
}

void SystemBrowser::launch(const QString& program, const QString& address) {
  // One argument, no shell: nothing in the address is interpreted.
  QProcess::startDetached(program, {address});
}
