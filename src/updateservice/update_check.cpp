#include "updateservice/update_check.h"

#include <filesystem>
#include <optional>
#include <vector>

#include "common/file_helpers.h"
#include "settings/message_lists.h"
#include "signing/minisign_crypto.h"
#include "signing/signed_file.h"
#include "updateservice/catalogue.h"
#include "updateservice/catalogue_name.h"
#include "updateservice/http_client.h"
#include "updateservice/packer.h"
#include "updateservice/resumed_download.h"
#include "updateservice/update_server_texts.h"
#include "updateservice/update_urls.h"
#include "updateservice/version_number.h"

namespace {

// Message list entries the check shows.
constexpr int kTipDownloading = 9;     // FWTipLabel
constexpr int kTipMd5Mismatch = 10;    // FWTipLabel
constexpr int kHintNoUpdate = 8;       // FWHints
constexpr int kHintDownloaded = 9;     // FWHints
constexpr int kHintServerFailed = 10;  // FWHints

// Moves the download gauge as the client reports.
class GaugeProgress final : public IHttpProgress {
 public:
  GaugeProgress(const MessageLists& texts, IUpdateCheckView& view) : texts_(texts), view_(view) {}
  void transferStarted(std::uint64_t expected) override {
    view_.setTip(texts_.textOf(MsgList::FWTipLabel, kTipDownloading));
    view_.showGauge(0, expected, "0 / " + std::to_string(expected));
  }
  void transferProgress(std::uint64_t received, std::uint64_t expected) override {
    view_.showGauge(received, expected,
                    std::to_string(received) + " / " + std::to_string(expected));
  }
  void transferEnded() override { view_.hideGauge(); }

 private:
  const MessageLists& texts_;
  IUpdateCheckView& view_;
};

class Check {
 public:
  Check(IHttpClient& http, const MessageLists& texts, const UpdateCheckRequest& request,
        IUpdateCheckView& view)
      : http_(http), texts_(texts), request_(request), view_(view) {}

  UpdateCheckOutcome run() {
    const UpdateCheckOutcome outcome = steps();
    // Only a packed patch keeps the downloads (the run's end removes them).
    if (outcome.kind != UpdateCheckOutcome::Packed && folderPrepared_)
      ClearDirectory(request_.workFolder);
    return outcome;
  }

 private:
  UpdateCheckOutcome steps() {
    std::string catalogue;
    const HttpResult got =
        http_.getToMemory(catalogueUrl(request_.serverHost, request_.hardwareName), &catalogue);
    // Later local failures report the catalogue request's status line too.
    catalogueStatus_ = got.statusLine;
    if (stopped(got)) return {UpdateCheckOutcome::Stopped, {}};
    if (!got.ok) {
      const HttpFailure why = failureOf(got);
      if (why == HttpFailure::Status && isNotFound(got.statusLine))
        return failed(reasonFor(servermsg::kNoFirmwareFor, request_.hardwareName));
      return failed(reasonOf(why));
    }

    if (const auto refused = signatureRefused(
            catalogueUrl(request_.serverHost, request_.hardwareName), catalogue, {}))
      return failed(*refused);

    const auto newVersion = catalogueNewVersion(catalogue);
    const auto deviceVersion = parseVersionNumber(request_.deviceVersionText);
    if (!deviceVersion) return failed({});
    if (!newVersion) return failed(unreadableCatalogue());
    if (*newVersion <= *deviceVersion) return noUpdate();

    // A newer version that comes with no file is the server's fault: there
    // is nothing to send, and the device would stay as it is.
    const auto fileCount = catalogueFileCount(catalogue);
    if (!fileCount) return failed(unreadableCatalogue());
    if (*fileCount <= 0)
      return failed(reasonFor(servermsg::kCatalogueWithoutFiles, request_.hardwareName));
    const auto files = catalogueFilesNewerThan(catalogue, *deviceVersion);
    if (!files) return failed(unreadableCatalogue());
    // Names reach the camera's shell through the install script: a name
    // that is not plain ends the check before anything is fetched.
    for (const CatalogueFile& file : *files) {
      if (!isPlainCatalogueName(file.name)) return failed(unreadableCatalogue());
    }
    if (!prepareWorkFolder()) return failed(reasonFor(servermsg::kNoWorkFolder));

    std::vector<std::string> names;
    for (const CatalogueFile& file : *files) {
      if (stopRequested()) return {UpdateCheckOutcome::Stopped, {}};
      const std::string local = request_.workFolder + std::to_string(names.size());
      if (const auto ended = download(file, local)) return *ended;
      names.push_back(file.name);
    }
    if (names.empty()) return noUpdate();
    if (stopRequested()) return {UpdateCheckOutcome::Stopped, {}};

    view_.setTip(text(MsgList::FWHints, kHintDownloaded));
    const PackResult packed = Pack(request_.workFolder, request_.hardwareName, *newVersion, names,
                                   std::to_string(*deviceVersion));
    if (!packed.ok) return failed(reasonFor(servermsg::kCannotPack));
    return {UpdateCheckOutcome::Packed, packed.patchPath, signer_};
  }

  // Why the bytes fetched from url are refused, if they are: their
  // signature (url + ".minisig") is missing, by an unknown key or wrong.
  // what names the file in the reason; empty: the catalogue.
  std::optional<std::string> signatureRefused(const std::string& url, std::string_view bytes,
                                              const std::string& what) {
    if (request_.trustedKeys.empty()) return std::nullopt;
    return refusal(minisign::verify(request_.trustedKeys, bytes, signatureAt(url)), what);
  }
  // The same for a file downloaded from url into local.
  std::optional<std::string> fileSignatureRefused(const std::string& url, const std::string& local,
                                                  const std::string& what, bool* unreadable) {
    SignedFile checked;
    std::string error;
    *unreadable =
        !checkFileSignature(request_.trustedKeys, local, signatureAt(url), &checked, &error);
    return refusal(checked.verdict, what);
  }
  // The signature beside url on the server; empty when there is none.
  std::string signatureAt(const std::string& url) {
    std::string signature;
    if (!http_.getToMemory(signaturePathOf(url), &signature).ok) signature.clear();
    return signature;
  }
  std::optional<std::string> refusal(const minisign::Verdict& verdict, const std::string& what) {
    if (verdict.kind == minisign::Verdict::Good) {
      if (what.empty()) signer_ = verdict.signer->comment;
      return std::nullopt;
    }
    return signatureRefusal(texts_, what, verdict);
  }

  bool stopRequested() const { return request_.stopRequested && request_.stopRequested(); }
  bool stopped(const HttpResult& got) const {
    return stopRequested() || failureOf(got) == HttpFailure::Abandoned;
  }

  static bool isNotFound(const std::string& statusLine) {
    return statusLine.find(" 404") != std::string::npos;
  }

  std::string reasonFor(int entry, const std::string& name = {}) const {
    std::string reason = text(MsgList::UpdateServer, entry);
    if (const std::size_t at = reason.find("%1"); at != std::string::npos)
      reason.replace(at, 2, name);
    return reason;
  }
  std::string unreadableCatalogue() const {
    return reasonFor(servermsg::kCatalogueUnreadable, request_.hardwareName);
  }
  // The reason for a failed transfer; none when the status line says it.
  std::string reasonOf(HttpFailure why) const {
    switch (why) {
      case HttpFailure::NoAnswer:
        return reasonFor(servermsg::kNoAnswer);
      case HttpFailure::BrokeOff:
        return reasonFor(servermsg::kStoppedSending);
      case HttpFailure::TooSlow:
        return reasonFor(servermsg::kTooSlow);
      case HttpFailure::TooLarge:
        return reasonFor(servermsg::kTooLarge);
      case HttpFailure::DiskFull:
        return reasonFor(servermsg::kDiskFull);
      case HttpFailure::LocalFile:
        return reasonFor(servermsg::kCannotWrite);
      case HttpFailure::CertificateNotTrusted:
        return reasonFor(servermsg::kCertificateNotTrusted);
      case HttpFailure::NameMismatch:
        return reasonFor(servermsg::kNameMismatch);
      case HttpFailure::SecureConnection:
        return reasonFor(servermsg::kNoSecureConnection);
      case HttpFailure::None:
      case HttpFailure::Status:
      case HttpFailure::Abandoned:
        return {};
    }
    return {};
  }

  // "Connect to Updateserver failed : code : " and the status line, then
  // the reason in brackets when there is one.
  std::string serverFailure(const std::string& statusLine, const std::string& reason) const {
    std::string message = text(MsgList::FWHints, kHintServerFailed) + " : code : " + statusLine;
    if (!reason.empty()) message += (statusLine.empty() ? "" : " ") + ("(" + reason + ")");
    return message;
  }

  UpdateCheckOutcome failed(const std::string& reason) {
    view_.showMessage(serverFailure(catalogueStatus_, reason));
    return {UpdateCheckOutcome::Failed, {}};
  }

  UpdateCheckOutcome noUpdate() {
    view_.showMessage(text(MsgList::FWHints, kHintNoUpdate));
    return {UpdateCheckOutcome::NoUpdate, {}};
  }

  bool prepareWorkFolder() {
    if (request_.workFolder.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(request_.workFolder, ec);
    if (!std::filesystem::is_directory(request_.workFolder, ec)) return false;
    ClearDirectory(request_.workFolder);
    folderPrepared_ = true;
    return true;
  }

  // Fetches one file into local (resuming it when cut) and checks the
  // whole file's MD5 after its last byte. On any failure the
  // operator has been told (unless the check was stopped) and the outcome
  // is returned; nullopt when the file is good.
  std::optional<UpdateCheckOutcome> download(const CatalogueFile& file, const std::string& local) {
    GaugeProgress progress(texts_, view_);
    const HttpResult got = downloadResuming(
        http_, updateFileUrl(request_.serverHost, request_.hardwareName, file.name), local,
        &progress, {request_.pause, request_.stopRequested});
    if (stopped(got)) return UpdateCheckOutcome{UpdateCheckOutcome::Stopped, {}};
    if (!got.ok) {
      const HttpFailure why = failureOf(got);
      const std::string reason = why == HttpFailure::Status && isNotFound(got.statusLine)
                                     ? reasonFor(servermsg::kFileMissing, file.name)
                                     : reasonOf(why);
      view_.showMessage(serverFailure(got.statusLine, reason));
      return UpdateCheckOutcome{UpdateCheckOutcome::Failed, {}};
    }
    std::string digest;
    try {
      if (!request_.trustedKeys.empty()) {
        const std::string url =
            updateFileUrl(request_.serverHost, request_.hardwareName, file.name);
        bool unreadable = false;
        const auto refused = fileSignatureRefused(url, local, file.name, &unreadable);
        if (unreadable) return failed(reasonFor(servermsg::kCannotReadBack));
        if (refused) return failed(*refused);
      }
      digest = FileMd5Hex(local);
    } catch (const std::exception&) {
      return failed(reasonFor(servermsg::kCannotReadBack));
    }
    if (digest != file.digest) {  // exact: an upper-case digest never matches
      view_.setTip(text(MsgList::FWTipLabel, kTipMd5Mismatch));
      view_.showMessage("net: " + file.digest + " , loc: " + digest);
      return UpdateCheckOutcome{UpdateCheckOutcome::Failed, {}};
    }
    return std::nullopt;
  }

  std::string text(MsgList list, int index) const { return texts_.textOf(list, index); }

  IHttpClient& http_;
  const MessageLists& texts_;
  const UpdateCheckRequest& request_;
  IUpdateCheckView& view_;
  std::string catalogueStatus_;
  bool folderPrepared_ = false;
  std::string signer_;
};

}  // namespace

std::string updateWorkFolder(const std::string& patchFolder) {
  if (patchFolder.empty()) return {};
  constexpr char sep = std::filesystem::path::preferred_separator;
  return patchFolder + sep + "autotmp" + sep;
}

UpdateCheckOutcome runUpdateCheck(IHttpClient& http, const MessageLists& texts,
                                  const UpdateCheckRequest& request, IUpdateCheckView& view) {
  return Check(http, texts, request, view).run();
}
