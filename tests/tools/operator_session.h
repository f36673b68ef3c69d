// The real window (real device link, the data beside the program) played
// step by step as an operator would: shared by the tools that take pictures.
#pragma once

#include <QString>
#include <memory>
#include <string>

#include "app/app_state.h"
#include "app/real_services.h"
#include "devicelink/kestrum_device_link.h"
#include "updateservice/curl_http_client.h"

class TMainForm;

// Message boxes are answered at once (questions with yes) and printed on
// stderr; the file dialog returns the file a step put there.
class LoggingDialogs final : public IDialogs {
 public:
  QString nextFile;
  void showMessage(const QString& title, const QString& text) override;
  void showError(const QString& text) override;
  bool askYesNo(const QString& title, const QString& text) override;
  QString openFile(const QString&, const QString&) override { return nextFile; }
  QString browseFolder(const QString&) override { return {}; }
};

class OperatorSession {
 public:
  // Creates the window (FormCreate runs); show() runs its first showing.
  explicit OperatorSession(const std::string& updateServer);
  // Leaves the way the program does: workers stopped, the search finished.
  ~OperatorSession();

  TMainForm& form() { return *form_; }
  // Shows the window, makes it active and lets it paint.
  void show();
  // Plays one step (see tovarin-screenshot's usage); false for an unknown one.
  bool play(const QString& step);

 private:
  LoggingDialogs dialogs_;
  RealSleeper sleeper_;
  SystemClock clock_;
  StdRandom random_;
  KestrumDeviceLink device_;
  CurlHttpClient http_;
  AppState state_;
  std::unique_ptr<TMainForm> form_;
};
