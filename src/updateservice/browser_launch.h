// Opening a web message's address in the default browser. The address comes
// from the update server, so only plain web addresses are handed on: a
// "file://" address or a text that a program would take for an option is
// never opened.
#pragma once

#include <QString>

#include "common/services.h"

// An "http://" or "https://" address without control characters.
bool isOpenableAddress(const QString& address);

// Starts the browser with the address when both are there and the address
// is openable; true when it was started.
bool openWebAddress(IBrowser* browser, const QString& browserPath, const QString& address);

// The browser's program in a registry "open" command: the text between its
// first two double quotes; empty when it has none.
QString browserPathFromCommand(const QString& command);

// The platform's browser: on Windows the program of the registry's
// "HTTP\Shell\open\command"; elsewhere the desktop's opener, xdg-open,
// found on the PATH. Started detached with QProcess.
class SystemBrowser final : public IBrowser {
 public:
  QString defaultBrowserPath() override;
  void launch(const QString& program, const QString& address) override;
};
