// CheckForUpdate: the online update from the firmware page. The check runs
// on the window's thread (the window repaints as the gauge moves but takes
// no input); a packed patch goes into the patch area and the update run
// starts without a question.
#include <QFileInfo>
#include <climits>

#include "app/control_builders.h"
#include "app/mainform.h"
#include "firmware/firmware_texts.h"
#include "settings/message_lists.h"
#include "updateservice/http_client.h"
#include "updateservice/update_check.h"

namespace {

constexpr int kPatchImage = 2;  // TovarinImages_ImageList: the document picture

// Answers every request with a failure that got no response.
class NoHttpClient final : public IHttpClient {
 public:
  HttpResult getToMemory(const std::string&, std::string*) override { return {}; }
  HttpResult getToFile(const std::string&, const std::string&, IHttpProgress* progress) override {
    if (progress) progress->transferEnded();
    return {};
  }
};

class FirmwarePageView final : public IUpdateCheckView {
 public:
  explicit FirmwarePageView(TMainForm& f) : f_(f) {}

  void showMessage(const std::string& text) override {
    f_.dialogs().showMessage(kMessageBoxTitle, QString::fromStdString(text));
  }
  void setTip(const std::string& text) override {
    f_.FirmwareWpdateTip_Label->setText(QString::fromStdString(text));
  }
  void showGauge(std::uint64_t value, std::uint64_t maximum, const std::string& text) override {
    // The bar counts in int: sizes beyond its range are scaled down alike.
    int shift = 0;
    while ((maximum >> shift) > static_cast<std::uint64_t>(INT_MAX)) ++shift;
    TTextGauge* gauge = f_.PatchDownloadProcess_Gauge;
    gauge->setRange(0, static_cast<int>(maximum >> shift));
    gauge->setValue(static_cast<int>(std::min(value, maximum) >> shift));
    gauge->setProgressText(QString::fromStdString(text));
    gauge->show();
    f_.repaint();
  }
  void hideGauge() override { f_.PatchDownloadProcess_Gauge->hide(); }

 private:
  TMainForm& f_;
};

}  // namespace

void TMainForm::CheckForUpdate_BtnClick() {
  const UpdateCheckRequest request{services().updateServer.toStdString(),
                                   TargetHarward_Val->text().toStdString(),
                                   TargetVersion_Val->text().toStdString(),
                                   updateWorkFolder(PatchSavePath_Edit->text().toStdString())};
  NoHttpClient none;
  IHttpClient& http = services().http ? *services().http : none;
  FirmwarePageView view(*this);
  const UpdateCheckOutcome outcome = runUpdateCheck(http, request, view);
  if (outcome.kind != UpdateCheckOutcome::Packed) return;

  // The packed patch takes the patch area's one place, as a chosen one does.
  const QString patch = QString::fromStdString(outcome.patchPath);
  Patch2Send_LV->clear();
  listitem::add(Patch2Send_LV, QFileInfo(patch).fileName(), patch, kPatchImage,
                TovarinImages_ImageList);
  FirmwareUpdate_Btn->setEnabled(true);
  FirmwareWpdateTip_Label->setText(msgText(MsgList::FWTipLabel, fwmsg::kTipReady));
  FirmwareUpdate_BtnClick(CheckForUpdate_Btn);
}

void connectUpdateServiceHandlers(TMainForm& f) {
  QObject::connect(f.CheckForUpdate_Btn, &QPushButton::clicked, &f,
                   [&f] { f.CheckForUpdate_BtnClick(); });
}

// The update server's history and rotating messages are not fetched yet;
// these are the places where the window asks for them.
void TMainForm::LookUpDefaultBrowser() {}
void TMainForm::StartWebMessageFetch() {}
void TMainForm::StartPatchHistoryFetch(const QString&) {}
