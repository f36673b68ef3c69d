// A file checked against its signature in one pass: read piece by piece,
// hashed as it is read and, when asked, copied as it is read, so that the
// copy holds exactly the bytes that were checked, whatever happens to the
// file on disk afterwards.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "signing/minisign_crypto.h"

class MessageLists;

// The signature file beside a file: the file's name plus ".minisig".
std::string signaturePathOf(const std::string& path);

struct SignedFile {
  minisign::Verdict verdict;
  std::string signer;  // the signing key's comment, when the verdict is Good
  bool good() const { return verdict.kind == minisign::Verdict::Good; }
};

// Checks path against signatureText (empty: unsigned). Every byte read is
// also written to copy when given. False with *error when the file cannot be
// read or the copy written; the verdict is then Unsigned.
bool checkFileSignature(const std::vector<minisign::PublicKey>& trusted, const std::string& path,
                        const std::string& signatureText, SignedFile* out, std::string* error,
                        std::ostream* copy = nullptr);

// The same with the signature read from path's .minisig (a missing one reads
// as unsigned).
bool readSignedFile(const std::vector<minisign::PublicKey>& trusted, const std::string& path,
                    SignedFile* out, std::string* error, std::ostream* copy = nullptr);

// Why a signature was refused, naming what was signed ("app.bin"):
// "app.bin not signed by a trusted key" or "app.bin: signature does not match".
// Empty what: the catalogue.
std::string signatureRefusal(const MessageLists& texts, const std::string& what,
                             const minisign::Verdict& verdict);

// SHA-256 of a file as 64 lower-case hex digits; empty when it cannot be read.
std::string fileSha256Hex(const std::string& path);

// A patch checked and copied into a folder only this user can reach, made
// for a library that reads the patch by its path; removed with the object.
class PrivateCopy {
 public:
  // Checks path's signature while copying it; nullptr with *error when the
  // copy cannot be made, or with *verdict not Good when it is refused.
  static std::unique_ptr<PrivateCopy> checked(const std::vector<minisign::PublicKey>& trusted,
                                              const std::string& path, SignedFile* verdict,
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
