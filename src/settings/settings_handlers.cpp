// The settings file, the Options page and the language packs as the window
// sees them. The rules themselves live in settings_file, language_index,
// language_pack and help_text.
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>

#include "app/mainform.h"
#include "devicelink/device_link.h"
#include "firmware/firmware_texts.h"
#include "firmware/firmware_window.h"
#include "session/session_texts.h"
#include "session/session_window.h"
#include "settings/box_texts.h"
#include "settings/folders_report.h"
#include "settings/help_text.h"
#include "settings/language_index.h"
#include "settings/language_pack.h"
#include "settings/message_lists.h"
#include "settings/platform_files.h"
#include "settings/program_folders.h"
#include "settings/settings_file.h"
#include "tutorial/tutor_form.h"
#include "widgets/skinned_controls.h"

namespace fs = std::filesystem;

namespace {

fs::path pathOf(const QString& folder) { return fs::path(folder.toStdString()); }

QString fromLocal(const std::string& text) { return QString::fromStdString(text); }

bool isCaptionKind(const QByteArray& kind) {
  return kind == skin::kLabel || kind == skin::kTabSheet || kind == skin::kButton ||
         kind == skin::kPanel || kind == skin::kExpandPanel;
}

}  // namespace

ProgramFolders TMainForm::programFolders() const {
  if (!services_.exeFolder.isEmpty()) return foldersBeside(pathOf(services_.exeFolder));
  const fs::path exeDir = pathOf(QCoreApplication::applicationDirPath());
  const UserFolders user{
      pathOf(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)),
      pathOf(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))};
  return findProgramFolders(exeDir, installedDataFolder(exeDir), user);
}

void TMainForm::InitParamFromIni() {
  const ProgramFolders folders = programFolders();
  const StartupSettings settings = readStartupSettings(folders.settings, folders.defaults);
  DownloadSavePath_Edit->setText(fromLocal(settings.downloadFolder));
  CachPath_Edit->setText(fromLocal(settings.cacheFolder));
  PatchSavePath_Edit->setText(fromLocal(settings.patchFolder));
  DownloadSpeedLimit_Edit->setValue(settings.speedLimitField);
  state().settings.speedLimit = settings.speedLimit;
  device().FlowCtrl(state().settings.speedLimit);
  state().searchRanges.configured = readSearchRanges(folders.settings);
  // A refused write is reported; the rest of start-up goes on.
  for (const std::string& path : settings.writeErrors)
    dialogs().showError(fromLocal(unableToWriteText(path)));
}

void TMainForm::DownloadSavePathBrows_BtnClick(QWidget* sender) {
  QLineEdit* edit = nullptr;
  std::string_view key;
  if (sender == DownloadSavePathBrows_Btn) {
    edit = DownloadSavePath_Edit;
    key = kDownloadFolderKey;
  } else if (sender == CachPathBrows_Btn) {
    edit = CachPath_Edit;
    key = kCacheFolderKey;
  } else if (sender == PatchSavePathBrows_Btn) {
    edit = PatchSavePath_Edit;
    key = kPatchFolderKey;
  } else {
    return;
  }
  // The browser opens where the field points; a folder that is gone sends
  // it home rather than to wherever the program was started from.
  const QString current = edit->text();
  const QString start =
      !current.isEmpty() && QFileInfo(current).isDir() ? current : QDir::homePath();
  const QString folder = dialogs().browseFolder(
      packText("ChooseFolder_Title", QString::fromUtf8("请选择目录")), start);
  if (folder.isEmpty()) return;
  // Taken whole: a cut path names another folder, or none.
  const QString chosen = folder;
  if (!pathFitsPlatform(chosen.toStdString())) {
    dialogs().showError(msgText(MsgList::Boxes, boxmsg::kFolderPathTooLong).arg(chosen));
    return;
  }
  edit->setText(chosen);
  const fs::path settingsDir = programFolders().settings;
  if (!writeFolderKey(settingsDir, key, chosen.toStdString()))
    dialogs().showError(fromLocal(unableToWriteText(settingsFilePath(settingsDir).string())));
}

void TMainForm::DSL_BtnClick(QWidget* sender) {
  if (sender == DSLDefault_Btn) {
    DownloadSpeedLimit_Edit->setValue(kDefaultSpeedLimit);
  } else if (sender == DSLCancel_Btn) {
    DownloadSpeedLimit_Edit->setValue(speedLimitFieldValue(state().settings.speedLimit));
    DSLApply_Btn->setEnabled(false);
  } else if (sender == DSLApply_Btn) {
    state().settings.speedLimit = DownloadSpeedLimit_Edit->value();
    device().FlowCtrl(state().settings.speedLimit);
    DSLApply_Btn->setEnabled(false);
    const fs::path settingsDir = programFolders().settings;
    if (!writeSpeedLimit(settingsDir, state().settings.speedLimit))
      dialogs().showError(fromLocal(unableToWriteText(settingsFilePath(settingsDir).string())));
  }
}

void TMainForm::DownloadSpeedLimit_EditChange() { DSLApply_Btn->setEnabled(true); }

void TMainForm::LoadLanguageList() {
  state().settings.languageFiles.clear();
  const ProgramFolders folders = programFolders();
  LanguageIndex index = loadLanguageIndex(folders.data);
  if (!index.exists) return;
  applyLanguageChoice(index, folders.languageChoice);
  state().settings.configuredLanguage = index.configuredName;
  for (const LanguageEntry& entry : index.entries) {
    state().settings.languageFiles.push_back(entry.file);
    // Each item carries its language's name, as listed in language.ext.
    LanguageBox_ComboBox->addItem(fromLocal(entry.name), fromLocal(entry.name));
  }
  state().settings.selectedLanguage = index.selectedIndex;
  const QSignalBlocker quiet(LanguageBox_ComboBox);
  LanguageBox_ComboBox->setCurrentIndex(state().settings.selectedLanguage);
  ApplyLanguagePack();
}

void TMainForm::ApplyLanguagePack() {
  if (state().settings.selectedLanguage < 0 ||
      state().settings.selectedLanguage >=
          static_cast<int>(state().settings.languageFiles.size()) ||
      state().settings.languageFiles[state().settings.selectedLanguage].empty())
    return;
  const auto pack =
      LanguagePack::load(languageFolder(programFolders().data) /
                         state().settings.languageFiles[state().settings.selectedLanguage]);
  if (!pack) return;

  StringListHooks hooks;
  hooks.afterLoginButton = [this] {
    Login_SBtn->setText(
        fromLocal(state().messages.textOf(MsgList::LoginButton, sessionmsg::kLoginButtonLogin)));
  };
  hooks.afterFWTipLabel = [this] {
    showFirmwareTip(
        *this, fromLocal(state().messages.textOf(MsgList::FWTipLabel, fwmsg::kTipChoosePatch)));
  };
  // The caption names no device yet: it follows the language.
  const QString noConnectBefore = msgText(MsgList::Boxes, boxmsg::kNoConnectCaption);
  applyStringList(*pack, state().messages, hooks);
  if (windowTitle() == noConnectBefore)
    setWindowTitle(msgText(MsgList::Boxes, boxmsg::kNoConnectCaption));
  // A pack without a text shows the English one, whatever the pack before had.
  state().settings.packTexts.clear();
  for (const auto& [key, value] : pack->texts()) state().settings.packTexts[key] = fromLocal(value);

  for (QWidget* component : components()) {
    const QByteArray kind = component->property("skinKind").toByteArray();
    if (!isCaptionKind(kind)) continue;
    if (auto caption = pack->caption(component->objectName().toStdString()))
      setCaptionOf(component, fromLocal(*caption));
  }
  for (QWidget* component : components()) {
    const QByteArray kind = component->property("skinKind").toByteArray();
    const bool isEdit = kind == skin::kEdit;
    const bool takesHint =
        kind == skin::kPanel || kind == skin::kExpandPanel || kind == skin::kButton;
    if (!isEdit && !takesHint) continue;
    auto value = pack->hintOrText(component->objectName().toStdString());
    if (!value) continue;
    if (isEdit)
      static_cast<QLineEdit*>(component)->setText(fromLocal(*value));
    else
      component->setToolTip(fromLocal(*value));
  }
  for (QWidget* component : components())
    if (auto hint = pack->hint(component->objectName().toStdString()))
      setHintOf(component, fromLocal(*hint));
  // Qt's own boxes and dialogs speak the pack's language too; a pack that
  // names none gets Qt's English.
  QtTexts.use(fromLocal(pack->qtLocale().value_or("")));
  LoadHelpText(ManuallyUpdateHelp_Memo);
  LoadHelpText(AutoUpdateHelp_Memo);
  showDeviceListMarks(*this);
  nameControlsForScreenReaders(&*pack);
  showTutorialLanguage(*this, fromLocal(pack->qtLocale().value_or("")));
}

void TMainForm::LoadHelpText(QPlainTextEdit* memo) {
  const char* fileName = memo == ManuallyUpdateHelp_Memo ? "manually.help"
                         : memo == AutoUpdateHelp_Memo   ? "auto.help"
                                                         : nullptr;
  if (!fileName) return;
  const fs::path file = helpFilePath(programFolders().data, fileName);
  std::error_code ec;
  if (!fs::exists(file, ec)) return;
  const std::string packFile =
      state().settings.selectedLanguage >= 0 &&
              state().settings.selectedLanguage <
                  static_cast<int>(state().settings.languageFiles.size())
          ? state().settings.languageFiles[state().settings.selectedLanguage]
          : std::string();
  if (auto text = loadHelpText(file, packFile)) memo->setPlainText(fromLocal(*text));
}

void TMainForm::LanguageBox_ComboBoxChange() {
  LanguageChange_Btn->setEnabled(LanguageBox_ComboBox->currentIndex() !=
                                 state().settings.selectedLanguage);
}

void TMainForm::LanguageChange_BtnClick(QWidget*) {
  const int chosen = LanguageBox_ComboBox->currentIndex();
  if (chosen < 0) return;
  state().settings.selectedLanguage = chosen;
  state().settings.configuredLanguage =
      LanguageBox_ComboBox->itemData(chosen).toString().toStdString();
  ApplyLanguagePack();
  ResetComponentPos();
  const ProgramFolders folders = programFolders();
  const bool indexOwnsChoice = folders.languageChoice == languageIndexPath(folders.data);
  const bool written =
      indexOwnsChoice
          ? writeConfiguredLanguage(folders.data, state().settings.configuredLanguage)
          : writeLanguageChoice(folders.languageChoice, state().settings.configuredLanguage);
  if (!written) dialogs().showError(fromLocal(unableToWriteText(folders.languageChoice.string())));
  LanguageChange_Btn->setEnabled(false);
}

QString programFoldersReport(const TMainForm& f) {
  const ProgramFolders folders = f.programFolders();
  auto path = [](const fs::path& p) { return QString::fromStdString(p.string()); };
  QStringList languages;
  for (int i = 0; i < f.LanguageBox_ComboBox->count(); ++i)
    languages << f.LanguageBox_ComboBox->itemText(i);
  const bool helpLoaded = !f.ManuallyUpdateHelp_Memo->toPlainText().isEmpty() &&
                          !f.AutoUpdateHelp_Memo->toPlainText().isEmpty();
  QString report;
  report += "data: " + path(folders.data) + "\n";
  report +=
      "languages: " + (languages.isEmpty() ? QStringLiteral("none") : languages.join(", ")) + "\n";
  report += "current language: " + f.LanguageBox_ComboBox->currentText() + "\n";
  report += "help texts: " + QString(helpLoaded ? "loaded" : "none") + "\n";
  report += "settings: " + path(settingsFilePath(folders.settings)) + "\n";
  report += "language choice: " + path(folders.languageChoice) + "\n";
  report += "download folder: " + f.DownloadSavePath_Edit->text() + "\n";
  report += "cache folder: " + f.CachPath_Edit->text() + "\n";
  report += "patch folder: " + f.PatchSavePath_Edit->text() + "\n";
  return report;
}

void connectSettingsHandlers(TMainForm& f) {
  for (QPushButton* browse :
       {f.DownloadSavePathBrows_Btn, f.CachPathBrows_Btn, f.PatchSavePathBrows_Btn})
    QObject::connect(browse, &QPushButton::clicked, &f,
                     [&f, browse] { f.DownloadSavePathBrows_BtnClick(browse); });
  for (QPushButton* button : {f.DSLDefault_Btn, f.DSLCancel_Btn, f.DSLApply_Btn})
    QObject::connect(button, &QPushButton::clicked, &f, [&f, button] { f.DSL_BtnClick(button); });
  QObject::connect(f.DownloadSpeedLimit_Edit, &QSpinBox::textChanged, &f,
                   [&f] { f.DownloadSpeedLimit_EditChange(); });
  QObject::connect(f.LanguageBox_ComboBox, &QComboBox::activated, &f,
                   [&f] { f.LanguageBox_ComboBoxChange(); });
  QObject::connect(f.LanguageChange_Btn, &QPushButton::clicked, &f,
                   [&f] { f.LanguageChange_BtnClick(f.LanguageChange_Btn); });
}
