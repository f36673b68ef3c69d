// The hidden one-line console: the backtick shows and hides it anywhere in
// the window; Enter runs the typed command.
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/mainform.h"
#include "widgets/skinned_controls.h"

namespace {

const QString kPlaceholder = QStringLiteral("Console");
const QString kCloseHint = QStringLiteral("=========press ` close==========");
const QString kAccessCode = QStringLiteral("qelvomtr");
// "search:10.1.0.0/24,10.2.0.9": one search that adds these address ranges.
const QString kRangeSearch = QStringLiteral("search:");

QString lastLine(const QPlainTextEdit* memo) {
  const QString text = memo->toPlainText();
  if (text.isEmpty()) return {};
  return text.section('\n', -1);
}

const QString kHiddenCode = QStringLiteral("********");

// Ctrl+` : the console's key where the backtick itself is typed as text.
bool isConsoleShortcut(const QKeyEvent& key) {
  return key.key() == Qt::Key_QuoteLeft && (key.modifiers() & Qt::ControlModifier);
}

// A field that takes typed text: an editable line or text box other than
// the console's own line (there the backtick closes the console).
bool takesTypedText(const QWidget* focus, const QLineEdit* console) {
  if (!focus || focus == console) return false;
  if (auto* line = qobject_cast<const QLineEdit*>(focus)) return !line->isReadOnly();
  if (auto* box = qobject_cast<const QPlainTextEdit*>(focus)) return !box->isReadOnly();
  return false;
}

}  // namespace

void TMainForm::FormKeyPress(QChar key) {
  if (key != QChar('`')) return;
  const bool wasShown = Command_Edit->isVisible();
  if (wasShown) Command_Edit->clear();
  if (!wasShown) {
    QWidget* focus = QApplication::focusWidget();
    focusBeforeConsole_ = focus && isAncestorOf(focus) ? focus : nullptr;
  }
  Command_Edit->setVisible(!Command_Edit->isVisible());
  CommandHistory_Memo->setVisible(!CommandHistory_Memo->isVisible());
  if (Command_Edit->isVisible()) {
    Command_Edit->setText(kPlaceholder);
    if (lastLine(CommandHistory_Memo) != kCloseHint)
      CommandHistory_Memo->appendPlainText(kCloseHint);
    Command_Edit->setFocus(Qt::ShortcutFocusReason);
  } else if (wasShown) {
    // Hiding the line would pass the focus on along the tab chain (to the
    // fold button, where the next Space folds the panel): give it back.
    QWidget* back = focusBeforeConsole_;
    if (back && back != Command_Edit && back->isVisible() && back->isEnabled())
      back->setFocus(Qt::ShortcutFocusReason);
    focusBeforeConsole_ = nullptr;
  }
}

void TMainForm::Command_EditClick() {
  if (Command_Edit->text() == kPlaceholder) Command_Edit->clear();
}

void TMainForm::Command_EditExit() {
  if (Command_Edit->text().isEmpty()) Command_Edit->setText(kPlaceholder);
}

void TMainForm::Command_EditKeyPress(QChar key) {
  if (Command_Edit->text().isEmpty() || key != QChar('\r')) return;
  // The access code grants what it grants to whoever reads it: the history
  // keeps only that it was typed.
  const bool isCode = Command_Edit->text() == kAccessCode;
  CommandHistory_Memo->appendPlainText(isCode ? kHiddenCode : Command_Edit->text());
  CheckCommand(Command_Edit);
  Command_Edit->clear();
}

void TMainForm::CheckCommand(QLineEdit* edit) {
  if (edit != Command_Edit) return;
  const QString command = edit->text();
  if (command == "make update patch") {
    Pages_PageControl->setPageVisible(Pages_PageControl->page(3), true);
    CommandHistory_Memo->appendPlainText("make update patch page get!");
  } else if (command == kAccessCode) {
    for (QWidget* page : {Tovarin_Page, Options_Page, MakeUpdatePatch_Page})
      Pages_PageControl->setPageVisible(page, true);
    PanelSpreader_Btn->setEnabled(true);
    CommandHistory_Memo->appendPlainText("technicist permission get!");
  } else if (command == "language:chinese" || command == "language:english") {
    const QString wanted =
        command == "language:chinese" ? QString::fromUtf8("简体中文") : QStringLiteral("English");
    for (int i = 0; i < LanguageBox_ComboBox->count(); ++i) {
      if (LanguageBox_ComboBox->itemData(i).toString() == wanted &&
          i != state().settings.selectedLanguage) {
        LanguageBox_ComboBox->setCurrentIndex(i);
        LanguageChange_BtnClick(Command_Edit);
      }
    }
  } else if (command.startsWith(kRangeSearch)) {
    ConsoleRangeSearch(command.mid(kRangeSearch.size()));
  }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  const bool inThisWindow = widget && (widget == this || isAncestorOf(widget));
  if (!inThisWindow) return QWidget::eventFilter(watched, event);

  switch (event->type()) {
    case QEvent::KeyPress: {
      // Key preview: the window sees each key once, at the control that has
      // the focus, before that control does. The key is not consumed.
      auto* key = static_cast<QKeyEvent*>(event);
      QWidget* focus = QApplication::focusWidget();
      if (!focus || !isAncestorOf(focus)) focus = focusWidget();
      const bool atTarget = focus ? widget == focus : widget == this;
      if (!atTarget) break;
      // Escape closes an open console; the chosen shortcut opens and closes
      // it from anywhere, a text field included.
      if ((key->key() == Qt::Key_Escape && Command_Edit->isVisible()) || isConsoleShortcut(*key)) {
        FormKeyPress(QChar('`'));
        return true;
      }
      const QString text = key->text();
      // A backtick typed into a text field belongs to the field (a password
      // may hold one).
      if (!text.isEmpty() && !(text.at(0) == QChar('`') && takesTypedText(focus, Command_Edit)))
        FormKeyPress(text.at(0));
      if (widget == Command_Edit && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        Command_EditKeyPress(QChar('\r'));
        return true;
      }
      break;
    }
    case QEvent::MouseButtonPress:
      if (widget == Command_Edit) Command_EditClick();
      break;
    case QEvent::FocusOut:
      if (widget == Command_Edit) Command_EditExit();
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}
