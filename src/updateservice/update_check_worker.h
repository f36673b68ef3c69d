// TUpdateCheckThread: the online update check on a worker of its own, so
// that the window keeps painting and answering while the update server is
// slow. The check's reports and its end reach the firmware page through
// UpdateCheckPage, called on the window's thread (runOnUiThread) in the
// order the operator is to see them.
#pragma once

#include <memory>

#include "common/worker_thread.h"
#include "updateservice/update_check.h"

class IHttpClient;
class MessageLists;

class UpdateCheckPage : public IUpdateCheckView {
 public:
  // The check's last step: a packed patch is to be sent, anything else has
  // been told (or the check was stopped).
  virtual void endUpdateCheck(const UpdateCheckOutcome& outcome) = 0;
};

class TUpdateCheckThread final : public TThread {
 public:
  // Terminate() stops the check at its next step; the requests in flight
  // end when the client abandons them.
  TUpdateCheckThread(IHttpClient& http, const MessageLists& texts, UpdateCheckRequest request,
                     std::unique_ptr<UpdateCheckPage> page);

 protected:
  void Execute() override;

 private:
  IHttpClient& http_;
  const MessageLists& texts_;
  UpdateCheckRequest request_;
  std::unique_ptr<UpdateCheckPage> page_;
};
