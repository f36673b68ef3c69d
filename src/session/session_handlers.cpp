// The login panel's handlers: device search and list, login, and the
// session's reboot request. Login and reboot run on the window's thread and
// block it while the device answers.
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>
#include <cstring>
#include <memory>

#include "app/mainform.h"
#include "common/notice_texts.h"
#include "devicelink/device_command.h"
#include "devicelink/device_link.h"
#include "devicelink/device_results.h"
#include "firmware/firmware_texts.h"
#include "firmware/firmware_window.h"
#include "session/device_list.h"
#include "session/device_login.h"
#include "session/device_session.h"
#include "session/discovery.h"
#include "session/search_ranges.h"
#include "session/search_worker.h"
#include "session/session_texts.h"
#include "session/session_window.h"
#include "settings/box_texts.h"
#include "settings/message_lists.h"
#include "signing/signing_window.h"
#include "widgets/skinned_controls.h"

namespace {

// A login that failed without the device refusing the account: the step
// and what happened.
QString loginFailureMessage(TMainForm& form, int32_t result) {
  const QString why = isUnreachable(result)
                          ? fwmsg::reasonText(form.state().messages, result)
                          : form.msgText(MsgList::FWTipLabel, fwmsg::kWhyDeviceCode).arg(result);
  return fwmsg::withReason(form.msgText(MsgList::FWTipLabel, fwmsg::kMsgLoginFailed), why);
}

// 1. Pressed as "ChangeDev": the current device's work stops first.
void leaveCurrentDevice(TMainForm& f) {
  f.StopAllThreads();
  f.UpdateProgress_Gauge->hide();
  f.FirmwareWpdateTip_Label->show();
  // Neither the patch nor what the tip said belongs to the next device.
  f.Patch2Send_LV->clear();
  showFirmwareTip(f, f.msgText(MsgList::FWTipLabel, fwmsg::kTipChoosePatch));
  f.FileList_LV->clear();
  f.PatchMessage_Memo->clear();
}

// 2-7. The address, the default account and a fresh session connection;
// false (the operator told why) when there is none.
bool connectToTypedAddress(TMainForm& f) {
  DeviceSessionRecord& session = f.state().session;
  IDeviceLink& link = f.device();
  if (f.IPAddress_Edit->text().isEmpty()) {
    f.dialogs().showMessage(kMessageBoxTitle, f.msgText(MsgList::Boxes, boxmsg::kAddressError));
    return false;
  }
  session.DeviceAddress = f.IPAddress_Edit->text().toStdString();
  setCredentialField(session.UserName, "admin");
  setCredentialField(session.Password, "");
  // Until a login succeeds the page still shows the previous device, which
  // its buttons must no longer reach.
  setDeviceButtonsEnabled(f, false);
  link.ReleaseSocket(&session.CommandConnection);
  if (session.CommandConnection >= 1) return false;

  // The hint must be on screen during the blocking connect.
  f.LoginHint_Label->show();
  f.LoginHint_Label->repaint();

  session.CommandConnection = link.ConnectServer(session.DeviceAddress.c_str(), kDevicePort);
  if (session.CommandConnection < 1) {
    ++session.ConnectFailures;
    f.dialogs().showMessage(kMessageBoxTitle,
                            f.msgText(MsgList::FWTipLabel, session.ConnectFailures == 1
                                                               ? fwmsg::kTipConnectFailed
                                                               : fwmsg::kTipConnectionAbnormal));
    f.setWindowTitle(f.msgText(MsgList::Boxes, boxmsg::kNoConnectCaption));
    session.CommandConnection = -1;
    return false;
  }
  return true;
}

struct LoginReply {
  int32_t result = 0;
  char hardwareName[KESTRUM_HARDWARE_NAME_SIZE] = {};
  int32_t version = 0;
};

// 8-10. Logs in with the default account, then with the typed one.
LoginReply logInToDevice(TMainForm& f) {
  DeviceSessionRecord& session = f.state().session;
  f.setWindowTitle("Tovarin - IP: " + QString::fromStdString(session.DeviceAddress));
  f.Path_SEdit->setText("/sdcard");
  session.UpdatePending = 0;
  session.BacktrackAvailable = 0;
  LoginReply reply;
  reply.result = loginDefaultThenTyped(f.device(), session, f.UserName_Edit->text().toStdString(),
                                       f.Password_Edit->text().toStdString(), reply.hardwareName,
                                       &reply.version);
  return reply;
}

// 11. Refused: the connection stays open until the next press. No device
// is logged in now: the caption says so, the page's buttons stay off.
void showLoginRefused(TMainForm& f, int32_t result) {
  f.setWindowTitle(f.msgText(MsgList::Boxes, boxmsg::kNoConnectCaption));
  f.FirmwareBacktrack_Btn->hide();
  if (result == KESTRUM_LOGIN_NO_SUCH_USER)
    f.dialogs().showMessage(kMessageBoxTitle, f.msgText(MsgList::Boxes, boxmsg::kNoSuchUser));
  else if (result == KESTRUM_LOGIN_WRONG_PASSWORD)
    f.dialogs().showMessage(kMessageBoxTitle, f.msgText(MsgList::Boxes, boxmsg::kPasswordError));
  else
    f.dialogs().showMessage(kMessageBoxTitle, loginFailureMessage(f, result));
}

// 12. Logged in: the device's page, its files, the panel folded away.
void showLoggedInDevice(TMainForm& f, const LoginReply& reply) {
  DeviceSessionRecord& session = f.state().session;
  f.TargetVersion_Val->setText(QString::number(reply.version));
  f.TargetHarward_Val->setText(QString::fromStdString(hardwareNameText(reply.hardwareName)));
  f.TargetVersion_Val->adjustSize();
  f.TargetHarward_Val->adjustSize();
  setDeviceButtonsFromSession(f);
  if (session.BacktrackAvailable != 0)
    f.FirmwareBacktrack_Btn->setVisible(session.UpdatePending != 0);
  else
    f.FirmwareBacktrack_Btn->hide();
  f.state().rebootCheck = {reply.version, false};
  f.Login_SBtn->setText(f.msgText(MsgList::LoginButton, sessionmsg::kLoginButtonChangeDevice));
  // Nothing the previous device's page said carries over.
  showTipForLoggedInDevice(f);
  showUnverifiedTipOnce(f);
  if (f.Pages_PageControl->isTabVisible(f.Tovarin_Page)) {
    f.StartRootListing();
  } else {
    // Without the file page no session connection is kept: every later
    // device operation opens its own.
    f.device().ReleaseSocket(&session.CommandConnection);
  }
  f.PanelSpreader_BtnClick();
  f.PanelSpreader_Btn->setEnabled(true);
  f.StartPatchHistoryFetch(f.TargetHarward_Val->text());
  session.ConnectFailures = 0;
}

}  // namespace

void TMainForm::Login_SBtnClick() {
  // The run reports to the page and reboots its device at the end: another
  // device must not take the session meanwhile.
  if (updateRunActive()) {
    dialogs().showMessage(kMessageBoxTitle, msgText(MsgList::Boxes, boxmsg::kRunStillActive));
    return;
  }
  // The check after a reboot waits for the device being left.
  stopRebootCheck(*this);
  if (Login_SBtn->text() == msgText(MsgList::LoginButton, sessionmsg::kLoginButtonChangeDevice))
    leaveCurrentDevice(*this);
  if (connectToTypedAddress(*this)) {
    const LoginReply reply = logInToDevice(*this);
    if (reply.result != 0)
      showLoginRefused(*this, reply.result);
    else
      showLoggedInDevice(*this, reply);
  }
  LoginHint_Label->hide();
}

void TMainForm::RebootDevice() {
  const std::string& address =
      updateRunActive() ? updateRunAddress() : state().session.DeviceAddress;
  if (!sendDeviceCommand(device(), address, KESTRUM_REQ_REBOOT)) {
    dialogs().showMessage(kMessageBoxTitle,
                          msgText(MsgList::FWHints, fwmsg::kHintFailedConnection));
    return;
  }
  dialogs().showMessage(kMessageBoxTitle, msgText(MsgList::FWHints, fwmsg::kHintDeviceReboot));
  // The panel ends open, with its fold button usable, whether or not the
  // operator opened it meanwhile: the device list and Login stay in reach.
  if (!loginPanelOpen()) PanelSpreader_BtnClick();
  PanelSpreader_Btn->setEnabled(true);
  DevSearch_BtnClick();
  // The device's firmware is confirmed in the background once it is back.
  startRebootCheck(*this, address);
}

namespace {

// The login panel as the device search sees it.
class WindowSearchPage final : public SearchPage, WindowPage {
 public:
  using WindowPage::WindowPage;

  void showSearchRunning() override {
    TMainForm* f = window();
    if (!f) return;
    f->DevSearch_Btn->setEnabled(false);
    f->DevSearch_Btn->setText(f->msgText(MsgList::DevSearch, sessionmsg::kSearchButtonSearching));
    // The list stays as it is until the search ends: a node must not move or
    // vanish under a pointer about to double-click it.
  }
  // The window lists the result on the notice.
  void showSearchResult() override {
    if (TMainForm* f = window()) postSearchNotice(*f, notice::kSearchFinished);
  }
};

}  // namespace

void TMainForm::DevSearch_BtnClick() { SearchDevices(QString()); }

void TMainForm::SearchDevices(const QString& oneOffRanges) {
  SearchRangesState& ranges = state().searchRanges;
  const std::string oneOff = oneOffRanges.toStdString();
  // The session's camera is probed too: found by a one-off range, it must
  // still be heard after its reboot.
  const std::string& current = state().session.DeviceAddress;
  const bool probeCurrent = current.find_first_of(",/") == std::string::npos &&
                            addressrange::parseRange(current).has_value();
  CheckedRanges checked =
      checkSearchRanges({ranges.configured, oneOff, probeCurrent ? current : std::string()});
  // Shown with the result; the good entries run all the same.
  ranges.refused = std::move(checked.refused);
  startDeviceSearch(std::make_unique<WindowSearchPage>(*this), state().searchResult, device(),
                    std::move(checked.accepted));
}

void TMainForm::ConsoleRangeSearch(const QString& ranges) {
  // The console answers in fixed English, as to its other commands.
  auto answer = [this](const QString& text) { CommandHistory_Memo->appendPlainText(text); };
  if (!DevSearch_Btn->isEnabled()) return answer("search running: try again once it has ended");
  const CheckedRanges checked = checkSearchRanges({ranges.toStdString()});
  for (const addressrange::Refused& refused : checked.refused)
    answer(QString::fromStdString(addressrange::refusalText(refused)) + ", left out");
  if (checked.accepted.empty() && checked.refused.empty())
    return answer("search: no address range given");
  answer(
      "searching the local network" +
      (checked.accepted.empty() ? QString() : " and " + QString::fromStdString(checked.accepted)));
  SearchDevices(ranges);
}

namespace {

// What each node carries: its camera's record bytes and whether that camera
// answered the latest search. A double-click reads them from the node itself.
constexpr int kRecordRole = Qt::UserRole;
constexpr int kAnsweredRole = Qt::UserRole + 1;

const QColor kClashColour(0xc0, 0x39, 0x2b);

void showListedDevice(TMainForm& f, QTreeWidgetItem* node, std::size_t index) {
  const std::vector<ListedDevice>& list = f.state().deviceList;
  const ListedDevice& device = list[index];
  node->setText(0, device.record.nodeText());
  node->setData(0, kRecordRole, QByteArray(device.record.data.data(), LORVEX_RECORD_DATA_SIZE));
  node->setData(0, kAnsweredRole, device.answered);
  QIcon icon = f.PanelImages_ImageList.value(0);
  if (!device.answered && !icon.isNull()) icon = QIcon(icon.pixmap(32, QIcon::Disabled));
  node->setIcon(0, icon);
  QFont font = node->font(0);
  font.setItalic(!device.answered);
  node->setFont(0, font);
  if (!device.answered)
    node->setForeground(0, f.DevList_TreeView->palette().brush(QPalette::Disabled, QPalette::Text));
  else if (device.identifierClash)
    node->setForeground(0, kClashColour);
  else
    node->setData(0, Qt::ForegroundRole, QVariant());
  // Cameras on other subnets look alike by name: the address tells them apart.
  QString hint = f.packText("DevListAddress_Hint", "Address: %1").arg(device.record.address());
  if (!device.answered)
    hint += "\n" + f.packText("DevListNoAnswer_Hint",
                              "Did not answer the last search. Press Search once it is back.");
  else if (device.identifierClash)
    hint += "\n" + f.packText("DevListClash_Hint",
                              "Another camera answers with this identifier too: %1. Check the "
                              "address before logging in.")
                       .arg(sameIdentifierAddresses(list, index).join(", "));
  node->setToolTip(0, hint);
}

QString refusalReason(const TMainForm& f, addressrange::Refusal reason) {
  switch (reason) {
    case addressrange::Refusal::TooLarge:
      return f.packText("RangeTooLarge_Text", "larger than /16");
    case addressrange::Refusal::HostBits:
      return f.packText("RangeHostBits_Text", "address bits set after the prefix length");
    case addressrange::Refusal::Malformed:
      break;
  }
  return f.packText("RangeMalformed_Text", "not an IPv4 address or CIDR block");
}

// The list's title with how many cameras answered the latest search. The
// caption itself comes from the language pack, which may have just set it.
void showDeviceListTitle(TMainForm& f) {
  QLabel* title = f.DevList_Label;
  if (title->text() != title->property("countedCaption").toString())
    title->setProperty("plainCaption", title->text());
  QString text = title->property("plainCaption").toString();
  if (f.state().searchRanges.searched) {
    const std::vector<ListedDevice>& list = f.state().deviceList;
    const int answered = static_cast<int>(list.size()) - unansweredCount(list);
    text = f.packText("DevListCount_Label", "%1 (%2)").arg(text).arg(answered);
  }
  title->setText(text);
  title->setProperty("countedCaption", text);
}

// The notice under the list: the refused address ranges, each identifier
// given by more than one camera, then how many cameras did not answer.
void showDeviceListNotice(TMainForm& f) {
  const std::vector<ListedDevice>& list = f.state().deviceList;
  QStringList lines;
  for (const addressrange::Refused& refused : f.state().searchRanges.refused)
    lines << f.packText("DevListRangeRefused_Notice", "Address range %1 refused: %2.")
                 .arg(QString::fromStdString(refused.text), refusalReason(f, refused.reason));
  std::vector<std::string_view> told;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!list[i].identifierClash) continue;
    const std::string_view id = list[i].record.identifierBytes();
    if (std::find(told.begin(), told.end(), id) != told.end()) continue;
    told.push_back(id);
    const QStringList addresses =
        QStringList{list[i].record.address()} + sameIdentifierAddresses(list, i);
    lines << f.packText("DevListClash_Notice", "%2 cameras answer as %1: %3.")
                 .arg(list[i].record.nodeText())
                 .arg(addresses.size())
                 .arg(addresses.join(", "));
  }
  const bool clash = !lines.isEmpty();  // a clash or a refused range
  if (const int missing = unansweredCount(list))
    lines << f.packText("DevListNoAnswer_Notice", "%1 camera(s) did not answer the last search.")
                 .arg(missing);
  QLabel* notice = f.DevListNotice_Label;
  notice->setText(lines.join("\n"));
  notice->setVisible(!lines.isEmpty());
  if (notice->property("tone").toString() != (clash ? "failure" : "")) {
    notice->setProperty("tone", clash ? "failure" : "");
    notice->style()->unpolish(notice);
    notice->style()->polish(notice);
  }
}

}  // namespace

void showDeviceListMarks(TMainForm& f) {
  const std::size_t shown =
      std::min<std::size_t>(f.DevList_TreeView->topLevelItemCount(), f.state().deviceList.size());
  for (std::size_t i = 0; i < shown; ++i)
    showListedDevice(f, f.DevList_TreeView->topLevelItem(static_cast<int>(i)), i);
  showDeviceListNotice(f);
  showDeviceListTitle(f);
}

void TMainForm::FillDeviceList() {
  // Listed cameras keep their nodes, updated in place; cameras heard for the
  // first time get new nodes at the end, handed to the tree in one call so
  // that it hears of one insertion, not of one per device.
  std::vector<ListedDevice>& list = state().deviceList;
  list = mergeSearchResult(std::move(list), state().searchResult.load());
  const int kept = DevList_TreeView->topLevelItemCount();
  QList<QTreeWidgetItem*> nodes;
  for (std::size_t i = kept; i < list.size(); ++i) nodes.append(new QTreeWidgetItem());
  DevList_TreeView->addTopLevelItems(nodes);
  state().searchRanges.searched = true;
  showDeviceListMarks(*this);
  DevSearch_Btn->setEnabled(true);
  DevSearch_Btn->setText(msgText(MsgList::DevSearch, sessionmsg::kSearchButtonIdle));
}

void TMainForm::DevList_TreeViewDblClick() {
  QTreeWidgetItem* node = DevList_TreeView->currentItem();
  if (!node || !node->isSelected()) return;
  // A camera that did not answer the last search is not there to log in to.
  if (!node->data(0, kAnsweredRole).toBool()) return;
  const QByteArray record = node->data(0, kRecordRole).toByteArray();
  if (record.size() != LORVEX_RECORD_DATA_SIZE) return;
  ChosenDevice& chosen = state().chosenDevice;
  chosen.data.fill(0);
  std::memcpy(chosen.data.data(), record.constData(), LORVEX_RECORD_DATA_SIZE);
  DeviceID_Edit->setText(chosen.identifier());
  IPAddress_Edit->setText(chosen.address());
}

void connectSessionHandlers(TMainForm& f) {
  QObject::connect(f.DevSearch_Btn, &QPushButton::clicked, &f, [&f] { f.DevSearch_BtnClick(); });
  QObject::connect(f.DevList_TreeView, &QTreeWidget::itemDoubleClicked, &f,
                   [&f] { f.DevList_TreeViewDblClick(); });
  QObject::connect(f.Login_SBtn, &QPushButton::clicked, &f, [&f] { f.Login_SBtnClick(); });
}
