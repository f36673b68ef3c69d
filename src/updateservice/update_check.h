// The online update check, without widgets: fetch the hardware's catalogue,
// download every file that is newer than the device into the work folder as
// "0", "1", ..., check each against its MD5 and pack them into a patch. The
// window shows what the check reports and starts the update run with the
// packed patch.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "signing/minisign_format.h"

class IHttpClient;
class MessageLists;

// What the check shows; the window's firmware page implements it.
class IUpdateCheckView {
 public:
  virtual ~IUpdateCheckView() = default;
  // A message box with one OK button.
  virtual void showMessage(const std::string& text) = 0;
  // The firmware page's tip label.
  virtual void setTip(const std::string& text) = 0;
  // The download gauge, shown with its value, maximum and progress text; the
  // window repaints so that the operator sees it move.
  virtual void showGauge(std::uint64_t value, std::uint64_t maximum, const std::string& text) = 0;
  virtual void hideGauge() = 0;
};

struct UpdateCheckRequest {
  std::string serverHost;         // "A.B.C.D[:PORT]"
  std::string hardwareName;       // as login showed it
  std::string deviceVersionText;  // as login showed it
  std::string workFolder;         // see updateWorkFolder
  // Asked between the steps; true ends the check quietly (the window is
  // closing, say). Null: never.
  std::function<bool()> stopRequested;
  // Sleeps between the tries of a download cut partway (the program's sleep
  // service). Null: a cut download is not resumed.
  std::function<void(int milliseconds)> pause;
  // The keys the catalogue and every file must be signed by; none: nothing
  // is checked (servers without signatures keep working).
  std::vector<minisign::PublicKey> trustedKeys{};
};

struct UpdateCheckOutcome {
  enum Kind {
    NoUpdate,  // nothing newer; the operator has been told
    Failed,    // the operator has been told why
    Packed,    // patchPath holds the patch to send
    Stopped,   // stopRequested said so; nothing was shown
  } kind = Failed;
  std::string patchPath;
  // Packed with trusted keys: the comment of the key that signed the
  // catalogue (and, as checked, every file).
  std::string signer{};
};

// The work folder: the patch folder, a separator, "autotmp", a separator.
// Empty when the patch folder is empty (the folder would hang off the root).
std::string updateWorkFolder(const std::string& patchFolder);

// Runs the whole check on the calling thread; its messages come from texts.
// A check that does not pack leaves no download behind in the work folder.
// With trusted keys, a catalogue or file whose ".minisig" beside it is
// missing or wrong ends the check with the server-failure message.
UpdateCheckOutcome runUpdateCheck(IHttpClient& http, const MessageLists& texts,
                                  const UpdateCheckRequest& request, IUpdateCheckView& view);
