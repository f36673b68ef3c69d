// minisign's public key, secret key and signature files as the program and
// tovarin-sign read them (from trusted-keys folders, the update server and
// beside chosen patches), and a check of the message after the first line
// against whatever signature and key parse.
#include <cstdint>
#include <cstdlib>

#include "fuzz_input.h"
#include "signing/minisign_crypto.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzzinput::asText(data, size);
  auto key = minisign::parsePublicKey(text);
  std::string error;
  minisign::parseSecretKey(text, &error);
  auto signature = minisign::parseSignature(text);
  if (signature) {
    // What parses must come out the same when written again.
    auto again = minisign::parseSignature(minisign::formatSignature(*signature, "x"));
    if (!again || again->signature != signature->signature ||
        again->trustedComment != signature->trustedComment)
      std::abort();
  }
  std::vector<minisign::PublicKey> trusted;
  if (key) trusted.push_back(*key);
  const auto [firstLine, rest] = fuzzinput::firstLineAndRest(text);
  minisign::verify(trusted, firstLine, rest);
  return 0;
}
