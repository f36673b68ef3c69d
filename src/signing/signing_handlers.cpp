#include <QFileInfo>
#include <QLabel>
#include <QListWidget>

#include "app/mainform.h"
#include "firmware/firmware_texts.h"
#include "firmware/firmware_window.h"
#include "settings/program_folders.h"
#include "signing/signed_file.h"
#include "signing/signing_texts.h"
#include "signing/signing_window.h"

namespace {

QString fromLocal(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void loadSigningKeys(TMainForm& f) {
  f.state().trustedKeys = loadTrustedKeys(trustedKeyFolders(f.programFolders()));
}

void showUnverifiedTipOnce(TMainForm& f) {
  TrustedKeys& trusted = f.state().trustedKeys;
  if (trusted.any() || trusted.unverifiedTipShown) return;
  trusted.unverifiedTipShown = true;
  // A login that has something to say of its device (an update pending)
  // keeps its tip.
  if (f.FirmwareWpdateTip_Label->text() != f.msgText(MsgList::FWTipLabel, fwmsg::kTipChoosePatch))
    return;
  showFirmwareTipAs(f, f.msgText(MsgList::Signing, signmsg::kNotVerified), true);
}

std::optional<QString> checkChosenPatch(TMainForm& f, const QString& path) {
  const TrustedKeys& trusted = f.state().trustedKeys;
  if (!trusted.any()) return QString();
  SignedFile patch;
  std::string error;
  const std::string name = QFileInfo(path).fileName().toStdString();
  QString reason;
  if (!readSignedFile(trusted.keys, path.toStdString(), &patch, &error))
    reason = fromLocal(name + ": " + error);
  else if (!patch.good())
    reason = fromLocal(signatureRefusal(f.state().messages, name, patch.verdict));
  if (!reason.isEmpty()) {
    f.Patch2Send_LV->clear();
    showFirmwareTipAs(f, f.msgText(MsgList::Signing, signmsg::kRefused).replace("%1", reason),
                      true);
    return std::nullopt;
  }
  return f.msgText(MsgList::Signing, signmsg::kSignedBy).replace("%1", fromLocal(patch.signer));
}

QString trustedKeysReport(const TMainForm& f) {
  QString report;
  for (const auto& folder : trustedKeyFolders(f.programFolders()))
    report += "trusted keys folder: " + fromLocal(folder.string()) + "\n";
  const TrustedKeys& trusted = f.state().trustedKeys;
  for (std::size_t i = 0; i < trusted.keys.size(); ++i)
    report += "trusted key: " + fromLocal(minisign::keyIdText(trusted.keys[i].id)) + " " +
              fromLocal(trusted.keys[i].comment) + " (" + fromLocal(trusted.files[i].string()) +
              ")\n";
  for (const auto& file : trusted.unreadable)
    report += "not a key (ignored): " + fromLocal(file.string()) + "\n";
  if (!trusted.any()) report += "trusted keys: none (updates are not verified)\n";
  return report;
}
