// A file read once and checked against its signature: the bytes checked are
// the bytes kept, so a file that changes on disk after the check changes
// nothing that is sent.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "signing/minisign_crypto.h"

class MessageLists;

// The signature file beside a file: the file's name plus ".minisig".
std::string signaturePathOf(const std::string& path);

struct SignedFile {
  std::string bytes;
  minisign::Verdict verdict;
  std::string signer;  // the signing key's comment, when the verdict is Good
  bool good() const { return verdict.kind == minisign::Verdict::Good; }
};

// The whole file; false when it cannot be read.
bool readFileBytes(const std::string& path, std::string* bytes);

// Reads path and its .minisig (a missing one reads as unsigned). False with
// *error when the file itself cannot be read.
bool readSignedFile(const std::vector<minisign::PublicKey>& trusted, const std::string& path,
                    SignedFile* out, std::string* error);

// Why a signature was refused, naming what was signed ("app.bin"):
// "app.bin not signed by a trusted key" or "app.bin: signature does not match".
std::string signatureRefusal(const MessageLists& texts, const std::string& what,
                             const minisign::Verdict& verdict);

// SHA-256 of bytes as 64 lower-case hex digits.
std::string sha256Hex(const std::string& bytes);

// A copy of checked bytes in a folder only this user can reach, made for a
// library that reads the patch by its path; removed with the object.
class PrivateCopy {
 public:
  static std::unique_ptr<PrivateCopy> write(const std::string& bytes, const std::string& name,
                                            std::string* error);
  ~PrivateCopy();
  PrivateCopy(const PrivateCopy&) = delete;
  PrivateCopy& operator=(const PrivateCopy&) = delete;
  const std::string& path() const { return path_; }

 private:
  PrivateCopy(std::string folder, std::string path)
      : folder_(std::move(folder)), path_(std::move(path)) {}
  std::string folder_;
  std::string path_;
};
