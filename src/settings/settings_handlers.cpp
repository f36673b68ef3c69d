// The settings file, the Options page and the language packs as the window
// sees them. The rules themselves live in settings_file, language_index,
// language_pack and help_text.
#include <QCoreApplication>
#include <QDir>

#include "app/app_state.h"
#include "app/control_builders.h"
#include "app/mainform.h"
#include "devicelink/device_link.h"
#include "settings/help_text.h"
#include "settings/language_index.h"
#include "settings/language_pack.h"
#include "settings/message_lists.h"
#include "settings/platform_files.h"
#include "settings/settings_file.h"

namespace fs = std::filesystem;

namespace {

fs::path pathOf(const QString& folder) { return fs::path(folder.toStdString()); }

QString fromLocal(const std::string& text) { return QString::fromStdString(text); }

bool isCaptionKind(const QByteArray& kind) {
  return kind == skin::kLabel || kind == skin::kTabSheet || kind == skin::kButton ||
         kind == skin::kPanel || kind == skin::kExpandPanel;
}

}  // namespace

QString TMainForm::exeFolder() const {
  return services_.exeFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                       : services_.exeFolder;
}

void TMainForm::InitParamFromIni() {
  const StartupSettings settings = readStartupSettings(pathOf(exeFolder()));
  DownloadSavePath_Edit->setText(fromLocal(settings.downloadFolder));
  CachPath_Edit->setText(fromLocal(settings.cacheFolder));
  PatchSavePath_Edit->setText(fromLocal(settings.patchFolder));
  DownloadSpeedLimit_Edit->setValue(settings.speedLimitField);
  SpeedLimit = settings.speedLimit;
  device().FlowCtrl(SpeedLimit);
  // A refused write is reported; the rest of start-up goes on.
  for (const std::string& path : settings.writeErrors)
    dialogs().showError(fromLocal(unableToWriteText(path)));
}

void TMainForm::DownloadSavePathBrows_BtnClick(QWidget* sender) {
  const QString folder = dialogs().browseFolder(QString::fromUtf8("请选择目录"));
  if (folder.isEmpty()) return;
  // Taken whole: a cut path names another folder, or none.
  const QString chosen = folder;
  if (!pathFitsPlatform(chosen.toStdString())) {
    dialogs().showError(QStringLiteral("Folder path too long: ") + chosen);
    return;
  }
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
  edit->setText(chosen);
  const fs::path exe = pathOf(exeFolder());
  if (!writeFolderKey(exe, key, chosen.toStdString()))
    dialogs().showError(fromLocal(unableToWriteText(settingsFilePath(exe).string())));
}

void TMainForm::DSL_BtnClick(QWidget* sender) {
  if (sender == DSLDefault_Btn) {
    DownloadSpeedLimit_Edit->setValue(kDefaultSpeedLimit);
  } else if (sender == DSLCancel_Btn) {
    DownloadSpeedLimit_Edit->setValue(speedLimitFieldValue(SpeedLimit));
    DSLApply_Btn->setEnabled(false);
  } else if (sender == DSLApply_Btn) {
    SpeedLimit = DownloadSpeedLimit_Edit->value();
    device().FlowCtrl(SpeedLimit);
    DSLApply_Btn->setEnabled(false);
    const fs::path exe = pathOf(exeFolder());
    if (!writeSpeedLimit(exe, SpeedLimit))
      dialogs().showError(fromLocal(unableToWriteText(settingsFilePath(exe).string())));
  }
}

void TMainForm::DownloadSpeedLimit_EditChange() { DSLApply_Btn->setEnabled(true); }

void TMainForm::LoadLanguageList() {
  LanguageFileList.clear();
  const LanguageIndex index = loadLanguageIndex(pathOf(exeFolder()));
  if (!index.exists) return;
  ConfiguredLanguageName = index.configuredName;
  for (const LanguageEntry& entry : index.entries) {
    LanguageFileList.push_back(entry.file);
    // Each item carries its language's name, as listed in language.ext.
    LanguageBox_ComboBox->addItem(fromLocal(entry.name), fromLocal(entry.name));
  }
  SelectedLanguageIndex = index.selectedIndex;
  const QSignalBlocker quiet(LanguageBox_ComboBox);
  LanguageBox_ComboBox->setCurrentIndex(SelectedLanguageIndex);
  ApplyLanguagePack();
}

void TMainForm::ApplyLanguagePack() {
  if (SelectedLanguageIndex < 0 ||
      SelectedLanguageIndex >= static_cast<int>(LanguageFileList.size()) ||
      LanguageFileList[SelectedLanguageIndex].empty())
    return;
  const auto pack = LanguagePack::load(languageFolder(pathOf(exeFolder())) /
                                       LanguageFileList[SelectedLanguageIndex]);
  if (!pack) return;

  StringListHooks hooks;
  hooks.afterLoginButton = [this] {
    Login_SBtn->setText(fromLocal(state().messages.textOf(MsgList::LoginButton, 0)));
  };
  hooks.afterFWTipLabel = [this] {
    FirmwareWpdateTip_Label->setText(fromLocal(state().messages.textOf(MsgList::FWTipLabel, 0)));
  };
  applyStringList(*pack, state().messages, hooks);

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
  LoadHelpText(ManuallyUpdateHelp_Memo);
  LoadHelpText(AutoUpdateHelp_Memo);
}

void TMainForm::LoadHelpText(QPlainTextEdit* memo) {
  const char* fileName = memo == ManuallyUpdateHelp_Memo ? "manually.help"
                         : memo == AutoUpdateHelp_Memo   ? "auto.help"
                                                         : nullptr;
  if (!fileName) return;
  const fs::path file = helpFilePath(pathOf(exeFolder()), fileName);
  std::error_code ec;
  if (!fs::exists(file, ec)) return;
  const std::string packFile =
      SelectedLanguageIndex >= 0 &&
              SelectedLanguageIndex < static_cast<int>(LanguageFileList.size())
          ? LanguageFileList[SelectedLanguageIndex]
          : std::string();
  if (auto text = loadHelpText(file, packFile)) memo->setPlainText(fromLocal(*text));
}

void TMainForm::LanguageBox_ComboBoxChange() {
  LanguageChange_Btn->setEnabled(LanguageBox_ComboBox->currentIndex() != SelectedLanguageIndex);
}

void TMainForm::LanguageChange_BtnClick(QWidget*) {
  const int chosen = LanguageBox_ComboBox->currentIndex();
  if (chosen < 0) return;
  SelectedLanguageIndex = chosen;
  ConfiguredLanguageName = LanguageBox_ComboBox->itemData(chosen).toString().toStdString();
  ApplyLanguagePack();
  ResetComponentPos();
  const fs::path exe = pathOf(exeFolder());
  if (!writeConfiguredLanguage(exe, ConfiguredLanguageName))
    dialogs().showError(fromLocal(unableToWriteText(languageIndexPath(exe).string())));
  LanguageChange_Btn->setEnabled(false);
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
