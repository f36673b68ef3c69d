#include "app/mainform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/app_state.h"
#include "app/keyboard.h"
#include "common/worker_thread.h"
#include "devicelink/device_link.h"
#include "firmware/firmware_window.h"
#include "patchmaker/patchmaker_window.h"
#include "remotefiles/remotefiles_window.h"
#include "session/session_window.h"
#include "settings/settings_window.h"
#include "signing/signing_window.h"
#include "updateservice/http_client.h"
#include "updateservice/updateservice_window.h"
#include "widgets/skinned_controls.h"

TMainForm::TMainForm(const AppServices& services, QWidget* parent)
    : QWidget(parent), services_(services) {
  Q_ASSERT(services_.state);
  setProgressPages(this);
  setObjectName("MainForm");
  setWindowTitle("Tovarin");
  // A fixed window: minimise and close, no maximise. Without the close box an
  // operator who does not know the window manager's shortcut cannot leave.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  TovarinImages_ImageList = makeTovarinImages();
  PanelImages_ImageList = makePanelImages();
  buildWindowControls();
  connectHandlers();
  FormCreate();
}

TMainForm::~TMainForm() {
  // Every worker the window holds is stopped, waited for and freed, also one
  // that was asked to stop earlier (StopAllThreads leaves those alone): none
  // may outlive the window it reports to.
  stopAndFree(ListingThread);
  for (TThread*& mission : DownloadMissions) stopAndFree(mission);
  stopAndFree(RebootCheckThread);
  stopUpdateCheck(*this);
  // A web fetch still in flight is abandoned; what it brings no longer
  // counts.
  state().web.rounds.close();
  endWebFetches(*this);
  for (TThread*& fetch : WebFetchThreads) stopAndFree(fetch);
  WebFetchThreads.clear();
  qApp->removeEventFilter(this);
  // Helpers that are not controls (event filters, timers) go first, then the
  // controls, all while the window is still whole: the last events controls
  // send on their way out must not reach a filter that reads this window.
  const QObjectList helpers = children();
  for (QObject* child : helpers)
    if (!child->isWidgetType()) delete child;
  const QObjectList controls = children();
  for (QObject* child : controls) delete child;
  // From here on the library's progress goes nowhere (a run may outlive
  // the window).
  clearProgressPages(this);
}

void TMainForm::buildWindowControls() {
  Pages_PageControl = reg(new TPageControl(this), "Pages_PageControl", skin::kOther);
  Tovarin_Page = reg(new QWidget, "Tovarin_Page", skin::kTabSheet);
  FirmwareUpdate_Page = reg(new QWidget, "FirmwareUpdate_Page", skin::kTabSheet);
  Options_Page = reg(new QWidget, "Options_Page", skin::kTabSheet);
  MakeUpdatePatch_Page = reg(new QWidget, "MakeUpdatePatch_Page", skin::kTabSheet);
  Pages_PageControl->addPage(Tovarin_Page, "Tovarin");
  Pages_PageControl->addPage(FirmwareUpdate_Page, "FirmwareUpdate");
  Pages_PageControl->addPage(Options_Page, "Options");
  Pages_PageControl->addPage(MakeUpdatePatch_Page, "MakeUpdatePatch");
  Pages_PageControl->setGeometry(17, 0, kClientWidth, kClientHeight);

  buildFilePageControls(*this);
  buildFirmwarePageControls(*this);
  buildOptionsPageControls(*this);
  buildPatchMakerPageControls(*this);
  buildLoginPanelControls(*this);

  for (int i = 0; i < 4; ++i) {
    const QString n = QString::number(i + 1);
    SpeedLabels[i] = reg(new QLabel("0", this), qPrintable("Speed" + n + "_Label"), skin::kOther);
    SpeedLabels[i]->setGeometry(470 + i * 40, 2, 24, 16);
    KBperSecLabels[i] =
        reg(new QLabel("KB/s", this), qPrintable("KBperSec" + n + "_Label"), skin::kOther);
    KBperSecLabels[i]->setGeometry(494 + i * 40, 2, 16, 16);
  }
  AddItem_Btn = reg(new QPushButton("AddItem", this), "AddItem_Btn", skin::kButton);
  AddItem_Btn->setGeometry(560, 440, 75, 25);
  ThreadMessager_Edit = reg(new QLineEdit(this), "ThreadMessager_Edit", skin::kOther);
  ThreadMessager_Edit->setGeometry(0, 0, 10, 10);
  ThreadMessager_Edit->hide();

  CommandHistory_Memo = reg(new QPlainTextEdit(this), "CommandHistory_Memo", skin::kOther);
  CommandHistory_Memo->setReadOnly(true);
  CommandHistory_Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  CommandHistory_Memo->setGeometry(0, 262, 200, 200);
  CommandHistory_Memo->hide();
  Command_Edit = reg(new QLineEdit("Console", this), "Command_Edit", skin::kEdit);
  Command_Edit->setGeometry(0, 462, 449, 18);
  Command_Edit->hide();

  WebMessageTimer_Timer = new QTimer(this);
  WebMessageTimer_Timer->setObjectName("WebMessageTimer_Timer");
  WebMessageTimer_Timer->setInterval(1800000);
  MainFormTrayIcon = new QSystemTrayIcon(this);
  MainFormTrayIcon->setObjectName("MainFormTrayIcon");

  // The login panel lies over the pages; the console over everything.
  Login_Panel->raise();
  CommandHistory_Memo->raise();
  Command_Edit->raise();
}

void TMainForm::connectHandlers() {
  qApp->installEventFilter(this);
  connect(ThreadMessager_Edit, &QLineEdit::textChanged, this,
          [this] { ThreadMessager_EditChange(ThreadMessager_Edit); });
  connect(DevSearchMessageEdit_Edit, &QLineEdit::textChanged, this,
          [this] { ThreadMessager_EditChange(DevSearchMessageEdit_Edit); });
  connect(PanelSpreader_Btn, &QPushButton::clicked, this, [this] { PanelSpreader_BtnClick(); });
  connectSessionHandlers(*this);
  connectFirmwareHandlers(*this);
  connectSettingsHandlers(*this);
  connectUpdateServiceHandlers(*this);
  connectRemoteFilesHandlers(*this);
  connectPatchMakerHandlers(*this);
  connectKeyboardHandlers(*this);
}

void TMainForm::FormCreate() {
  // 1-3: login fields, caption, failure counter.
  IPAddress_Edit->setText("192.168.1.1");
  UserName_Edit->setText("admin");
  Password_Edit->clear();
  setWindowTitle("Tovarin - No Connect");
  state().session.ConnectFailures = 0;
  // 4-6: message lists, settings, language pack.
  state().messages.fill();
  InitParamFromIni();
  LoadLanguageList();
  // 7-8: fixed client area, centred on the screen.
  setFixedSize(kClientWidth, kClientHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect available = screen->geometry();
    const QSize outer = frameGeometry().size().expandedTo(size());
    move(centreOffset(available.width(), outer.width()),
         centreOffset(available.height(), outer.height()));
  }
  // 9: the console along the bottom edge.
  Command_Edit->move(0, height() - Command_Edit->height());
  CommandHistory_Memo->setGeometry(0, Command_Edit->y() - 200, CommandHistory_Memo->width(), 200);
  // 10-11: default states and placement.
  ResetComponentsDefaultval();
  ResetComponentPos();
  // 12-13: hidden pages and controls.
  Pages_PageControl->setPageVisible(Tovarin_Page, false);
  Pages_PageControl->setPageVisible(Options_Page, false);
  Pages_PageControl->setCurrentPage(FirmwareUpdate_Page);
  UpdateCancel_Btn->hide();
  for (int i = 0; i < 4; ++i) {
    SpeedLabels[i]->hide();
    KBperSecLabels[i]->hide();
  }
  AddItem_Btn->hide();
  URLTestEdit_Edit->hide();
  // 14: the image list of the list views (pictures are set per item).
  for (QListWidget* list :
       {Files2Patch_LV, Patch2Send_LV, UpdateRuleFile_LV, FileList_LV, MUPresult_Listview}) {
    list->setViewMode(QListView::IconMode);
    list->setIconSize(QSize(32, 32));
    list->setWordWrap(true);
    list->setTextElideMode(Qt::ElideMiddle);
  }
  showPagesOnlyWhenUncovered();
  // 15-16: no session connection yet; the device library's callbacks.
  state().session.CommandConnection = -1;
  device().set_callback_curprogress(&CurProgressCallback);
  device().set_callback_getfile2patch(&GetFile2PatchCallback);
  // The keys that updates must be signed by (none: the tip says so).
  loadSigningKeys(*this);
}

void TMainForm::ResetComponentsDefaultval() {
  PanelSpreader_Btn->setEnabled(false);
  Pages_PageControl->setPageVisible(MakeUpdatePatch_Page, false);
  MakeUpdatePatchProgress_Gauge->setValue(0);
  Files2Patch_LV->setAcceptDrops(true);
  MakeUpdatePatch_Btn->setEnabled(false);
  PatchHWName_Edit->setText("47RKT");
  PatchVersion_Edit->setText("2010");
  for (QLineEdit* part : PatchVersionEdits) part->setText("00");
  UpdateProgress_Gauge->setValue(0);
  UpdateProgress_Gauge->hide();
  PatchMessage_Memo->setReadOnly(true);
  PatchDownloadProcess_Gauge->setValue(0);
  PatchDownloadProcess_Gauge->hide();
  DSLApply_Btn->setEnabled(false);

  RectMap rects = collectRects();
  placeAtStart(layoutFrame(), rects);
  applyRects(rects);
}

void TMainForm::ResetComponentPos() {
  RectMap rects = collectRects();
  resetComponentPos(layoutFrame(), rects);
  applyRects(rects);
  followPageTabOrder(*this);
}

LayoutFrame TMainForm::layoutFrame() const {
  LayoutFrame frame;
  frame.clientWidth = kClientWidth;
  frame.clientHeight = kClientHeight;
  frame.pageWidth = Pages_PageControl->width();
  frame.pageHeight = Pages_PageControl->height() - TPageControl::kTabHeight;
  frame.panelCaptionHeight = TSkinPanel::kCaptionHeight;
  return frame;
}

RectMap TMainForm::collectRects() const {
  RectMap rects;
  for (QWidget* w : components()) {
    // Labels size themselves to their caption, so rules see the real width.
    if (auto* label = qobject_cast<QLabel*>(w); label && label->property("autoSize").toBool()) {
      // A label anchored on its right keeps its right edge as it grows.
      const int right = label->geometry().right();
      label->adjustSize();
      if (label->property("anchorRight").toBool())
        label->move(right - label->width() + 1, label->y());
    }
    const QRect g = w->geometry();
    rects[w->objectName().toStdString()] = Rect{g.x(), g.y(), g.width(), g.height()};
  }
  return rects;
}

void TMainForm::applyRects(const RectMap& rects) {
  for (QWidget* w : components()) {
    auto it = rects.find(w->objectName().toStdString());
    if (it == rects.end()) continue;
    const Rect& r = it->second;
    if (w->geometry() != QRect(r.left, r.top, r.width, r.height))
      w->setGeometry(r.left, r.top, r.width, r.height);
  }
}

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  FormShow();
}

void TMainForm::FormShow() {
  LookUpDefaultBrowser();
  StartWebMessageFetch();
  WebMessageTimer_Timer->setInterval(1800000);
  WebMessageTimer_Timer->start();
  DevSearch_BtnClick();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (!confirmCloseDuringCheck(*this) || !confirmCloseDuringUpdate(*this)) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void TMainForm::FormClose() {
  // Web fetches are not waited for here; what they bring no longer counts,
  // and their transfers are abandoned so that the program can end soon.
  WebMessageTimer_Timer->stop();
  state().web.rounds.close();
  if (services_.http) services_.http->abandonRequestsInFlight();
  StopAllThreads();
  state().messages.release();
}

void TMainForm::StopAllThreads() {
  // A worker already asked to stop is left to the destructor.
  if (ListingThread && !ListingThread->Terminated()) stopAndFree(ListingThread);
  for (TThread*& mission : DownloadMissions)
    if (mission && !mission->Terminated()) stopAndFree(mission);
  if (UpdateCheckActive) stopUpdateCheck(*this);
  // The check after a reboot belongs to the device being left.
  stopAndFree(RebootCheckThread);
}

void TMainForm::showPagesOnlyWhenUncovered() {
  // While the open login panel covers the whole window the pages behind it
  // cannot be seen; leaving them unpainted halves the cost of the first paint.
  Pages_PageControl->setVisible(!panelOpen_);
  keepFoldedPanelOutOfTab(*this);
}

void TMainForm::PanelSpreader_BtnClick() {
  const std::vector<int> widths =
      panelFoldWidths(kClientWidth, PanelSpreader_Btn->width(), panelOpen_);
  // The pages come out from under the panel as it folds.
  if (panelOpen_) Pages_PageControl->show();
  for (std::size_t i = 0; i + 1 < widths.size(); ++i) {
    Login_Panel->resize(widths[i], Login_Panel->height());
    repaint();
    --panelCounter_;
    services_.sleeper->sleepMs(20);
  }
  Login_Panel->resize(widths.back(), Login_Panel->height());
  panelCounter_ = 10;
  panelOpen_ = !panelOpen_;
  showPagesOnlyWhenUncovered();
  PanelSpreader_Btn->setText(PanelSpreader_Btn->text() == ">>" ? "<<" : ">>");
}

void TMainForm::setCaptionOf(QWidget* control, const QString& caption) {
  const QByteArray kind = control->property("skinKind").toByteArray();
  if (kind == skin::kTabSheet) {
    Pages_PageControl->setPageCaption(control, caption);
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(caption);
  } else if (auto* button = qobject_cast<QPushButton*>(control)) {
    button->setText(caption);
  } else if (auto* panel = qobject_cast<TSkinPanel*>(control)) {
    panel->setCaption(caption);
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->setText(caption);
  }
}

void TMainForm::setHintOf(QWidget* control, const QString& hint) {
  if (auto* area = qobject_cast<QListWidget*>(control); area && isPathTipArea(area))
    setAreaHint(area, hint);
  else
    control->setToolTip(hint);
}

QString TMainForm::captionOf(QWidget* control) const {
  const QByteArray kind = control->property("skinKind").toByteArray();
  if (kind == skin::kTabSheet) return Pages_PageControl->pageCaption(control);
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<QPushButton*>(control)) return button->text();
  if (auto* panel = qobject_cast<TSkinPanel*>(control)) return panel->caption();
  if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
  return {};
}

bool TMainForm::updateRunActive() const { return state().updateRun.active; }
const std::string& TMainForm::updateRunAddress() const { return state().updateRun.address; }

QString TMainForm::packText(const char* key, const QString& english) const {
  const auto found = state().settings.packTexts.find(key);
  return found == state().settings.packTexts.end() ? english : found->second;
}

QString TMainForm::msgText(MsgList list, int index) const {
  return ::msgText(state().messages, list, index);
}

void TMainForm::showTransferSpeed(int slot, int value) {
  if (slot >= 1 && slot <= 4) SpeedLabels[slot - 1]->setText(QString::number(value));
}
