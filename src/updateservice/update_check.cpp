#include "updateservice/update_check.h"

#include <filesystem>
#include <vector>

#include "app/file_helpers.h"
#include "settings/message_lists.h"
#include "updateservice/catalogue.h"
#include "updateservice/catalogue_name.h"
#include "updateservice/http_client.h"
#include "updateservice/packer.h"
#include "updateservice/update_urls.h"
#include "updateservice/version_number.h"

namespace {

// Message list entries the check shows.
constexpr int kTipDownloading = 9;     // FWTipLabel
constexpr int kTipMd5Mismatch = 10;    // FWTipLabel
constexpr int kHintNoUpdate = 8;       // FWHints
constexpr int kHintDownloaded = 9;     // FWHints
constexpr int kHintServerFailed = 10;  // FWHints

std::string serverFailure(const MessageLists& texts, const std::string& statusLine) {
  return texts.textOf(MsgList::FWHints, kHintServerFailed) + " : code : " + statusLine;
}

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
    std::string catalogue;
    const HttpResult got =
        http_.getToMemory(catalogueUrl(request_.serverHost, request_.hardwareName), &catalogue);
    // Later local failures report the catalogue request's status line too.
    catalogueStatus_ = got.statusLine;
    if (!got.ok) return failed();

    const auto newVersion = catalogueNewVersion(catalogue);
    const auto deviceVersion = parseVersionNumber(request_.deviceVersionText);
    if (!newVersion || !deviceVersion) return failed();
    if (*newVersion <= *deviceVersion) return noUpdate();

    const auto files = catalogueFilesNewerThan(catalogue, *deviceVersion);
    if (!files) return failed();
    // Names reach the camera's shell through the install script: a name
    // that is not plain ends the check before anything is fetched.
    for (const CatalogueFile& file : *files) {
      if (!isPlainCatalogueName(file.name)) return failed();
    }
    if (!prepareWorkFolder()) return failed();

    std::vector<std::string> names;
    for (const CatalogueFile& file : *files) {
      const std::string local = request_.workFolder + std::to_string(names.size());
      if (!download(file, local)) return {UpdateCheckOutcome::Failed, {}};
      names.push_back(file.name);
    }
    if (names.empty()) return noUpdate();

    view_.setTip(text(MsgList::FWHints, kHintDownloaded));
    const PackResult packed = Pack(request_.workFolder, request_.hardwareName, *newVersion, names,
                                   std::to_string(*deviceVersion));
    if (!packed.ok) return failed();
    return {UpdateCheckOutcome::Packed, packed.patchPath};
  }

 private:
  UpdateCheckOutcome failed() {
    view_.showMessage(serverFailure(texts_, catalogueStatus_));
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
    return true;
  }

  // Fetches one file into local and checks its MD5; tells the operator and
  // returns false on any failure.
  bool download(const CatalogueFile& file, const std::string& local) {
    GaugeProgress progress(texts_, view_);
    const HttpResult got = http_.getToFile(
        updateFileUrl(request_.serverHost, request_.hardwareName, file.name), local, &progress);
    if (!got.ok) {
      view_.showMessage(serverFailure(texts_, got.statusLine));
      return false;
    }
    std::string digest;
    try {
      digest = FileMd5Hex(local);
    } catch (const std::exception&) {
      failed();
      return false;
    }
    if (digest != file.digest) {  // exact: an upper-case digest never matches
      view_.setTip(text(MsgList::FWTipLabel, kTipMd5Mismatch));
      view_.showMessage("net: " + file.digest + " , loc: " + digest);
      return false;
    }
    return true;
  }

  std::string text(MsgList list, int index) const { return texts_.textOf(list, index); }

  IHttpClient& http_;
  const MessageLists& texts_;
  const UpdateCheckRequest& request_;
  IUpdateCheckView& view_;
  std::string catalogueStatus_;
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
