#include "lab_signatures.h"

#include <fstream>
#include <iterator>
#include <memory>

#include "signing/minisign_crypto.h"

namespace devsim {

bool labSigner(const std::string& mode, const std::string& keyFile, UpdateServer::Signer* signer,
               std::string* error) {
  *signer = nullptr;
  if (mode == "none" || keyFile.empty()) return true;
  auto key = std::make_shared<minisign::SecretKey>();
  if (mode == "other_key") {
    *key = minisign::generateKeyPair().secretKey;
  } else {
    std::ifstream in(keyFile, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto read = minisign::parseSecretKey(text, error);
    if (!read) {
      *error = keyFile + ": " + *error;
      return false;
    }
    *key = *read;
  }
  *signer = [key](const std::string& bytes) -> std::optional<std::string> {
    return minisign::formatSignature(minisign::sign(*key, bytes, "signed by the device lab"),
                                     "signature from the device lab");
  };
  return true;
}

}  // namespace devsim
