// A read-only HTTP (or HTTPS) file server for the device lab: it plays the update
// server, serving one folder (catalogues, update files, histories, messages)
// to the program's plain GET requests. Binds only a loopback address. One
// request per connection; a client must send its whole request within 5 s
// of connecting or it is dropped unanswered.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace devsim {

class UpdateServer {
 public:
  // Port 0 lets the system choose a free port; port() tells it after start.
  UpdateServer(std::string rootFolder, std::string address, int port);
  ~UpdateServer();
  UpdateServer(const UpdateServer&) = delete;
  UpdateServer& operator=(const UpdateServer&) = delete;

  // Serves HTTPS with this certificate (PEM, its chain after it) and key
  // instead of HTTP; call before start. Over HTTPS a request has the
  // library's read timeout (5 s between reads) rather than one deadline.
  void useTls(std::string certificateFile, std::string keyFile);

  // Binds and starts serving on a background thread. False, with a reason,
  // when the root folder is missing, the address is not a 127.x.x.x address
  // or the port cannot be bound.
  bool start(std::string* error);
  // Stops serving and waits for the background thread; safe to call twice.
  void stop();
  int port() const;

  // Fault knobs for tests; they may be changed while the server runs.
  // Requests whose path starts with `prefix` get `status` and no file
  // (an empty prefix turns this off).
  void failPathsStartingWith(const std::string& prefix, int status);
  // Every reply waits this long before it starts.
  void setResponseDelay(std::chrono::milliseconds delay);
  // Every file body stops after this many bytes and the connection is
  // dropped, as by a server that dies mid-transfer (nullopt turns it off).
  void cutBodiesAfter(std::optional<std::size_t> bytes);
  // Files other than texts (.txt: catalogues, histories, messages) are
  // served with their first byte changed, so that their MD5 no longer
  // matches the catalogue's.
  void corruptFiles(bool on);
  // The first whole-file request of each update file (not .txt) stops at
  // half the file and the connection is dropped, as by a link that fails
  // once; requests after it, and those for a range, are served in full.
  void cutFilesOnceAtHalf(bool on);

  // A request for NAME.minisig where no such file lies is answered with
  // signer(the bytes of NAME); nullopt (or no signer) answers 404. The
  // signature is made from the file on disk, so corruptFiles serves files
  // altered after signing.
  using Signer = std::function<std::optional<std::string>(const std::string& bytes)>;
  void signFilesWith(Signer signer);

  // The paths of all requests so far, in arrival order.
  std::vector<std::string> requestedPaths() const;
  void clearRequestLog();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace devsim
