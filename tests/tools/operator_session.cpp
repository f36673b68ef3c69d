#include "operator_session.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>

#include "app/mainform.h"
#include "app/shutdown.h"
#include "widgets/skinned_controls.h"

void LoggingDialogs::showMessage(const QString& title, const QString& text) {
  std::fprintf(stderr, "[box] %s: %s\n", qPrintable(title), qPrintable(text));
}

void LoggingDialogs::showError(const QString& text) {
  std::fprintf(stderr, "[error] %s\n", qPrintable(text));
}

bool LoggingDialogs::askYesNo(const QString& title, const QString& text) {
  std::fprintf(stderr, "[question, answered yes] %s: %s\n", qPrintable(title), qPrintable(text));
  return true;
}

OperatorSession::OperatorSession(const std::string& updateServer) {
  AppServices services{&dialogs_, &sleeper_, &clock_, &random_, &device_};
  services.http = &http_;
  services.updateServer = QString::fromStdString(updateServer);
  services.state = &state_;
  form_ = std::make_unique<TMainForm>(services);
}

OperatorSession::~OperatorSession() {
  // A search still running must not report to a window that is gone.
  shutDownProgram(*form_);
}

void OperatorSession::show() {
  form_->show();
  form_->activateWindow();
  if (!QTest::qWaitForWindowActive(form_.get(), 2000)) std::fprintf(stderr, "window not active\n");
  QTest::qWait(200);
}

bool OperatorSession::play(const QString& step) {
  TMainForm& form = *form_;
  // Keys go where the operator's keys go: to the control with the focus.
  auto keyTarget = [&form]() -> QWidget* {
    QWidget* focus = QApplication::focusWidget();
    return focus ? focus : &form;
  };
  const QString value = step.section(':', 1);
  if (step.startsWith("console:")) {
    // Ctrl+` opens the console wherever the focus is, a text field included.
    QTest::keyClick(keyTarget(), Qt::Key_QuoteLeft, Qt::ControlModifier);
    form.Command_Edit->setText(value);
    QTest::keyClick(form.Command_Edit, Qt::Key_Return);
    QTest::keyClick(keyTarget(), '`');
  } else if (step.startsWith("page:")) {
    if (auto* page = form.findChild<QWidget*>(value)) form.Pages_PageControl->setCurrentPage(page);
  } else if (step.startsWith("user:")) {
    form.UserName_Edit->setText(value);
  } else if (step.startsWith("password:")) {
    form.Password_Edit->setText(value);
  } else if (step.startsWith("login:")) {
    // An empty value logs in to the address a double-click put there.
    if (!value.isEmpty()) form.IPAddress_Edit->setText(value);
    form.Login_SBtnClick();
  } else if (step.startsWith("devices:")) {
    if (!QTest::qWaitFor(
            [&] { return form.DevList_TreeView->topLevelItemCount() >= value.toInt(); }, 5000))
      std::fprintf(stderr, "fewer than %d devices in the list\n", value.toInt());
  } else if (step.startsWith("select:") || step.startsWith("dblclick:")) {
    play("devices:" + QString::number(value.toInt() + 1));
    if (auto* node = form.DevList_TreeView->topLevelItem(value.toInt())) {
      form.DevList_TreeView->setCurrentItem(node);
      if (step.startsWith("dblclick:")) form.DevList_TreeViewDblClick();
    }
  } else if (step == "fold") {
    form.PanelSpreader_Btn->click();
  } else if (step.startsWith("wait:")) {
    QTest::qWait(value.toInt());
  } else if (step.startsWith("hover:")) {
    if (auto* button = form.findChild<QWidget*>(value)) form.FU_BtnMouseEnter(button);
  } else if (step.startsWith("patch:")) {
    dialogs_.nextFile = value;
    form.Patch2Send_LVClick();
  } else if (step == "check") {
    form.CheckForUpdate_BtnClick();
    QTest::qWaitFor([&] { return !form.UpdateCheckActive && !form.updateRunActive(); }, 60000);
  } else {
    return false;
  }
  QTest::qWait(50);
  return true;
}
