#include "updateservice/update_check_worker.h"

#include "common/ui_thread.h"

namespace {

// Hands each report to the page on the window's thread.
class OnWindowThread final : public IUpdateCheckView {
 public:
  explicit OnWindowThread(UpdateCheckPage& page) : page_(page) {}
  void showMessage(const std::string& text) override {
    runOnUiThread([&] { page_.showMessage(text); });
  }
  void setTip(const std::string& text) override {
    runOnUiThread([&] { page_.setTip(text); });
  }
  void showGauge(std::uint64_t value, std::uint64_t maximum, const std::string& text) override {
    runOnUiThread([&] { page_.showGauge(value, maximum, text); });
  }
  void hideGauge() override {
    runOnUiThread([&] { page_.hideGauge(); });
  }

 private:
  UpdateCheckPage& page_;
};

}  // namespace

TUpdateCheckThread::TUpdateCheckThread(IHttpClient& http, const MessageLists& texts,
                                       UpdateCheckRequest request,
                                       std::unique_ptr<UpdateCheckPage> page)
    : http_(http), texts_(texts), request_(std::move(request)), page_(std::move(page)) {
  request_.stopRequested = [this] { return Terminated(); };
}

void TUpdateCheckThread::Execute() {
  OnWindowThread view(*page_);
  UpdateCheckOutcome outcome{UpdateCheckOutcome::Failed, {}};
  try {
    outcome = runUpdateCheck(http_, texts_, request_, view);
  } catch (const std::exception&) {
    // A local failure the check did not foresee ends it like any other.
  }
  runOnUiThread([&] { page_->endUpdateCheck(outcome); });
}
