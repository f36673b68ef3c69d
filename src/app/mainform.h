// TMainForm: the main window. It owns every control; the subsystem folders
// build their controls (build*Controls) and define their handlers, which are
// methods of this class named after the control and the event.
#pragma once

#include <QIcon>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/layout.h"
#include "common/services.h"
#include "devicelink/progress_callbacks.h"
#include "remotefiles/download_board.h"
#include "settings/qt_translations.h"
#include "widgets/control_registry.h"

// The controls are held by pointer only: each file includes the headers of
// the controls it uses (app/controls.h for the T* ones).
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QSpinBox;
class QSystemTrayIcon;
class QTimer;
class QTreeWidget;
class TBevel;
class TPageControl;
class TSkinPanel;
class TTextGauge;
class TThread;
class TTutor_Form;
class LanguagePack;
enum class MsgList;
struct ProgramFolders;

// Title of the program's plain message boxes.
inline const QString kMessageBoxTitle = QStringLiteral("Tovarin");

// The window is also the pages the device library's progress reaches: it
// registers itself while it exists (see progress_callbacks.h).
class TMainForm : public QWidget, public ControlRegistry, private ProgressPages {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 640;
  static constexpr int kClientHeight = 480;

  // Runs FormCreate. The services must outlive the window.
  explicit TMainForm(const AppServices& services, QWidget* parent = nullptr);
  ~TMainForm() override;

  const AppServices& services() const { return services_; }
  IDialogs& dialogs() const { return *services_.dialogs; }
  IDeviceLink& device() const { return *services_.device; }
  // The program's state (session, chosen device, search result, message
  // lists, update run), owned beside the services.
  AppState& state() const { return *services_.state; }
  // A message-list entry as the window shows it now.
  QString msgText(MsgList list, int index) const;
  // A text the window composes as it shows it: the active pack's value for
  // `key` in its "Texts" section, else the built-in English.
  QString packText(const char* key, const QString& english) const;

  // --- Application shell -------------------------------------------------
  void FormCreate();
  void FormShow();
  void FormClose();
  void ResetComponentsDefaultval();
  void ResetComponentPos();
  void StopAllThreads();
  void PanelSpreader_BtnClick();
  void ThreadMessager_EditChange(QLineEdit* sender);
  void FormKeyPress(QChar key);
  void Command_EditClick();
  void Command_EditExit();
  void Command_EditKeyPress(QChar key);
  void CheckCommand(QLineEdit* edit);
  // Sets a control's caption or text by kind, as language packs do.
  void setCaptionOf(QWidget* control, const QString& caption);
  // The control's tooltip; a patch area keeps it for when it holds no file.
  void setHintOf(QWidget* control, const QString& hint);
  QString captionOf(QWidget* control) const;
  // Gives the controls whose caption does not name them their name under the
  // pack (none: English); tab pages take their tab's caption. Captioned
  // buttons and labels are read by their caption and need nothing.
  void nameControlsForScreenReaders(const LanguagePack* pack);
  // Whether the login panel is open (covering the pages).
  bool loginPanelOpen() const { return panelOpen_; }
  // Hook for the tutorial window, created hidden after the main window.
  void setTutorForm(TTutor_Form* tutor) { tutorForm_ = tutor; }
  TTutor_Form* tutorForm() const { return tutorForm_; }

  // --- Device discovery and session ---------------------------------------
  void DevSearch_BtnClick();
  // A search of the broadcast domain and the configured address ranges,
  // plus oneOffRanges (comma-separated) for this search only.
  void SearchDevices(const QString& oneOffRanges);
  // The console's "search:" command: a search with these ranges added once.
  void ConsoleRangeSearch(const QString& ranges);
  void FillDeviceList();
  void DevList_TreeViewDblClick();
  void Login_SBtnClick();
  // Reboots the current device, or during an update run the run's device.
  void RebootDevice();
  void StartPatchHistoryFetch(const QString& hardwareName);
  // Lists the storage root over the session connection (file page shown).
  void StartRootListing();

  // --- Remote files ---------------------------------------------------------
  void FileList_LVDblClick();
  void Backdir_BtnClick();
  void AddItem_BtnClick();
  void OpenBtnClick();
  void FileListMenu_PopupMenuPopup();
  void DownloadProgress_TimerTimer();
  // Adds one listing entry (name and path as the device's bytes).
  void FileListAddItemByName(const std::string& name, const std::string& path, char kind);

  // --- Firmware update ------------------------------------------------------
  void FirmwareUpdate_BtnClick(QWidget* sender);
  void Patch2Send_LVClick();
  void FU_BtnMouseEnter(QWidget* sender);
  void FU_BtnMouseLeave(QWidget* sender);
  void CheckForUpdate_BtnClick();
  // Whether an update run is between its start and its end step.
  bool updateRunActive() const;
  // The device the current (or last) run updates: its reboot goes there.
  const std::string& updateRunAddress() const;

  // --- Online update service ------------------------------------------------
  void StartWebMessageFetch();
  void WebMessageTimer_TimerTimer();
  void WebMessageURL_LabelClick();
  void LookUpDefaultBrowser();

  // --- Settings and localisation --------------------------------------------
  void InitParamFromIni();
  void DownloadSavePathBrows_BtnClick(QWidget* sender);
  void DSL_BtnClick(QWidget* sender);
  void DownloadSpeedLimit_EditChange();
  void LoadLanguageList();
  void ApplyLanguagePack();
  void LanguageBox_ComboBoxChange();
  void LanguageChange_BtnClick(QWidget* sender);
  void LoadHelpText(QPlainTextEdit* memo);
  // Where the language packs and help texts are read and where configs.ini,
  // the language choice and the default folders are kept.
  ProgramFolders programFolders() const;

  // --- Tutorial ---------------------------------------------------------------
  void TutorShow_BtnClick();
  // --- Patch maker ----------------------------------------------------------
  void RuleFile_BtnClick();
  void MakeUpdatePatch_BtnClick();
  void MUPresult_ListviewClick();
  void MUPGetmd5_BtnClick();
  void PatchHWName_EditClick();
  // Files dropped onto Files2Patch_LV, in drop order.
  void Files2Patch_LVDropFiles(const QStringList& paths);
  // Key filter of the eight version parts: true when the key is swallowed.
  bool PatchVersionEdit_EditKeyPress(QLineEdit* sender, QChar key);
  // Normalises a version part; false (and the error shown) for no number.
  bool PatchVersionEdit_EditExit(QLineEdit* sender);

  // --- Controls ---------------------------------------------------------------
  // Window level.
  TPageControl* Pages_PageControl = nullptr;
  QWidget* Tovarin_Page = nullptr;
  QWidget* FirmwareUpdate_Page = nullptr;
  QWidget* Options_Page = nullptr;
  QWidget* MakeUpdatePatch_Page = nullptr;
  QLineEdit* Command_Edit = nullptr;
  QPlainTextEdit* CommandHistory_Memo = nullptr;
  std::array<QLabel*, 4> SpeedLabels{};  // Speed1_Label .. Speed4_Label
  std::array<QLabel*, 4> KBperSecLabels{};
  QPushButton* AddItem_Btn = nullptr;
  QLineEdit* ThreadMessager_Edit = nullptr;
  QTimer* WebMessageTimer_Timer = nullptr;
  QSystemTrayIcon* MainFormTrayIcon = nullptr;
  QVector<QIcon> TovarinImages_ImageList;
  QVector<QIcon> PanelImages_ImageList;

  // Login panel.
  TSkinPanel* Login_Panel = nullptr;
  QPushButton* PanelSpreader_Btn = nullptr;
  TSkinPanel* DevListPanel_Panel = nullptr;
  QLabel* DevList_Label = nullptr;
  QTreeWidget* DevList_TreeView = nullptr;
  TSkinPanel* DevListBtnPanel_Panel = nullptr;
  QPushButton* DevSearch_Btn = nullptr;
  QLineEdit* DevSearchMessageEdit_Edit = nullptr;
  QLabel* DeviceID_Label = nullptr;
  QLineEdit* DeviceID_Edit = nullptr;
  QLabel* IPAddress_Label = nullptr;
  QLineEdit* IPAddress_Edit = nullptr;
  QLabel* UserName_Label = nullptr;
  QLineEdit* UserName_Edit = nullptr;
  QLabel* Password_Label = nullptr;
  QLineEdit* Password_Edit = nullptr;
  QPushButton* Login_SBtn = nullptr;
  QLabel* LoginHint_Label = nullptr;
  // Under the device list: cameras that did not answer, identifiers that
  // more than one camera gives. Hidden when there is nothing to tell.
  QLabel* DevListNotice_Label = nullptr;
  TBevel* Tips_Bevel = nullptr;
  QPushButton* TutorShow_Btn = nullptr;
  QLabel* Tips_Label = nullptr;

  // File page.
  TSkinPanel* ListPanel_Panel = nullptr;
  QLineEdit* Path_SEdit = nullptr;
  QPushButton* Backdir_Btn = nullptr;
  QListWidget* FileList_LV = nullptr;
  QScrollBar* VerScrollBar_SB = nullptr;
  QMenu* FileListMenu_PopupMenu = nullptr;
  QAction* OpenBtn = nullptr;
  // One line per running download mission: its file's name and a gauge with
  // its progress and speed, refreshed by DownloadProgress_Timer.
  TSkinPanel* DownloadProgress_Panel = nullptr;
  std::array<QLabel*, 9> MissionName_Labels{};
  std::array<TTextGauge*, 9> MissionProgress_Gauges{};
  QTimer* DownloadProgress_Timer = nullptr;

  // Firmware page.
  TBevel* ServerMsg_Bevel = nullptr;
  QLabel* TargetHarward_Label = nullptr;
  QLabel* TargetHarward_Val = nullptr;
  QLabel* TargetVersion_Label = nullptr;
  QLabel* TargetVersion_Val = nullptr;
  QListWidget* Patch2Send_LV = nullptr;
  QLabel* FirmwareWpdateTip_Label = nullptr;
  QPushButton* FirmwareUpdate_Btn = nullptr;
  QPushButton* UpdateCancel_Btn = nullptr;
  QPushButton* CheckForUpdate_Btn = nullptr;
  QPushButton* FirmwareBacktrack_Btn = nullptr;
  QPushButton* DeviceReboot_Btn = nullptr;
  TTextGauge* UpdateProgress_Gauge = nullptr;
  TTextGauge* PatchDownloadProcess_Gauge = nullptr;
  QPlainTextEdit* ManuallyUpdateHelp_Memo = nullptr;
  QPlainTextEdit* AutoUpdateHelp_Memo = nullptr;
  QLabel* FUwarningLabel_Label = nullptr;
  TBevel* FUPageBevel1_Bevel = nullptr;
  QPlainTextEdit* PatchMessage_Memo = nullptr;
  QScrollBar* PatchMessage_Scroll = nullptr;
  QLabel* WebMessageURL_Label = nullptr;
  TBevel* FUPageBevel2_Bevel = nullptr;
  QLineEdit* URLTestEdit_Edit = nullptr;

  // Options page.
  TSkinPanel* OptionScrollPanel_Panel = nullptr;
  TSkinPanel* OptionPanel1_Panel = nullptr;
  TSkinPanel* OptionPanel2_Panel = nullptr;
  TSkinPanel* OptionPanel3_Panel = nullptr;
  TSkinPanel* OptionPanel4_Panel = nullptr;
  QLabel* DownloadSavePath_Label = nullptr;
  QLineEdit* DownloadSavePath_Edit = nullptr;
  QPushButton* DownloadSavePathBrows_Btn = nullptr;
  TBevel* DownloadSpeedLimit_Bevel = nullptr;
  QLabel* DownloadSpeedLimit_Label = nullptr;
  QSpinBox* DownloadSpeedLimit_Edit = nullptr;
  QLabel* DSLKBperSec_Label = nullptr;
  QPushButton* DSLDefault_Btn = nullptr;
  QPushButton* DSLCancel_Btn = nullptr;
  QPushButton* DSLApply_Btn = nullptr;
  QCheckBox* MD5Need_CheckBox = nullptr;
  QLabel* MD5Need_Label = nullptr;
  QLabel* CachPath_Label = nullptr;
  QLineEdit* CachPath_Edit = nullptr;
  QPushButton* CachPathBrows_Btn = nullptr;
  QLabel* PatchSavePath_Label = nullptr;
  QLineEdit* PatchSavePath_Edit = nullptr;
  QPushButton* PatchSavePathBrows_Btn = nullptr;
  QLabel* LanguageConfig_Label = nullptr;
  QComboBox* LanguageBox_ComboBox = nullptr;
  QPushButton* LanguageChange_Btn = nullptr;

  // Patch maker page.
  TSkinPanel* Files2Patch_Panel = nullptr;
  QListWidget* Files2Patch_LV = nullptr;
  QListWidget* UpdateRuleFile_LV = nullptr;
  TSkinPanel* MakeUpdatePatch_BtnPanel = nullptr;
  QPushButton* RuleFile_Btn = nullptr;
  QPushButton* MakeUpdatePatch_Btn = nullptr;
  QLineEdit* PatchHWName_Edit = nullptr;
  QLineEdit* PatchVersion_Edit = nullptr;
  QLineEdit* PatchVersionEditBG_Edit = nullptr;
  std::array<QLineEdit*, 4> PatchVersionEdits{};  // PatchVersionEdit1_Edit .. 4
  QLineEdit* NewPatchVersionLabel_Edit = nullptr;
  QLineEdit* OldVersion_Edit = nullptr;
  QLineEdit* PatchVersionEditBG2_Edit = nullptr;
  std::array<QLineEdit*, 4> OldVersionEdits{};  // OldVersionEdit1_Edit .. 4
  QLineEdit* OldPatchVersionLabel_Edit = nullptr;
  TTextGauge* MakeUpdatePatchProgress_Gauge = nullptr;
  TSkinPanel* MUPcontrols_Panel = nullptr;
  QListWidget* MUPresult_Listview = nullptr;
  QLineEdit* MUPmd5out_Edit = nullptr;
  QPushButton* MUPGetmd5_Btn = nullptr;
  // Where the last Make wrote its patch; empty until then.
  QPlainTextEdit* MUPresultNote_Memo = nullptr;

  // --- What the window holds besides its controls ---------------------------
  // (Lasting state is in AppState: state().)
  // The directory-listing worker, one at a time, or none.
  TThread* ListingThread = nullptr;
  // The check that waits for a rebooted device to come back, or none.
  TThread* RebootCheckThread = nullptr;
  // The nine download-mission slots.
  std::array<TThread*, 9> DownloadMissions{};
  // The missions' speeds and waiting notices.
  DownloadBoard Downloads;
  // Qt's own texts in the active pack's language.
  QtTranslations QtTexts;
  // The history and message fetches in flight (or ended and not yet freed).
  std::vector<TThread*> WebFetchThreads;
  // The online update check's worker (kept until the next check or the
  // close); active from the click until the check's end step.
  TThread* UpdateCheckThread = nullptr;
  bool UpdateCheckActive = false;
  // Set while the check is being stopped: what it still brings is dropped.
  bool UpdateCheckStopping = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  friend void buildLoginPanelControls(TMainForm& form);
  friend void buildFilePageControls(TMainForm& form);
  friend void buildFirmwarePageControls(TMainForm& form);
  friend void buildOptionsPageControls(TMainForm& form);
  friend void buildPatchMakerPageControls(TMainForm& form);

  // ProgressPages, each beside its page: the speed labels here, the update
  // gauge in firmware/, the patch maker's in patchmaker/.
  void showTransferSpeed(int slot, int value) override;
  void showPatchMakerProgress(int value) override;
  void showUpdateProgress(int value) override;
  bool patchMakerEntry(int index, QString* name, QString* path) override;

  void buildWindowControls();
  void connectHandlers();
  LayoutFrame layoutFrame() const;
  RectMap collectRects() const;
  void applyRects(const RectMap& rects);
  void showPagesOnlyWhenUncovered();

 private:
  AppServices services_;
  TTutor_Form* tutorForm_ = nullptr;
  bool panelOpen_ = true;
  int panelCounter_ = 10;
  bool shownOnce_ = false;
  // The control that had the focus when the console opened; it gets it back
  // when the console hides.
  QPointer<QWidget> focusBeforeConsole_;
};

// The base of the window's side of a page interface (UpdatePage, SearchPage,
// ...): a worker holds it and calls it on the window's thread, and it may
// outlive the window, so each method starts from window(), which is null once
// the window has gone; the method then does nothing (returns empty, or No).
class WindowPage {
 public:
  explicit WindowPage(TMainForm& form) : form_(&form) {}

 protected:
  TMainForm* window() const { return form_.data(); }

 private:
  QPointer<TMainForm> form_;
};

// Posts a notice to the window's thread-message edit (on the window's thread);
// the window acts on it before this returns.
void postThreadNotice(TMainForm& form, const QString& text);
// The same for the device search's own message edit.
void postSearchNotice(TMainForm& form, const QString& text);
