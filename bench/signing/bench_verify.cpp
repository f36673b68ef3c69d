// Checking the signature of a 256 MiB patch as the program does when the
// operator chooses it (read once piece by piece into BLAKE2b-512, Ed25519,
// the trusted comment's signature) vs. `minisign -V` on the same file and signature.
// Alternated pairs, medians. Target: at most 1.2x minisign's time.
//   build/bench/bin/bench_signature_verify [MiB] [pairs]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "environment.h"
#include "signing/minisign_crypto.h"
#include "signing/signed_file.h"
#include "timing.h"

int main(int argc, char** argv) {
  const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
  const int pairs = argc > 2 ? std::atoi(argv[2]) : bench::kMinRounds;
  bench::ScratchFolder scratch;
  const std::string patch = scratch.path + "/47RKT2011.patch";
  const std::string pub = scratch.path + "/publisher.pub";
  bench::makeFile(patch, mib * bench::kMiB);

  minisign::KeyPair pair = minisign::generateKeyPair();
  std::ifstream in(patch, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::ofstream(patch + ".minisig", std::ios::binary)
      << minisign::formatSignature(minisign::sign(pair.secretKey, bytes, "bench"), "bench");
  std::ofstream(pub, std::ios::binary) << minisign::formatPublicKey(pair.publicKey);
  bytes.clear();
  bytes.shrink_to_fit();

  const std::vector<minisign::PublicKey> trusted{pair.publicKey};
  bool ok = true;
  auto subject = [&] {
    SignedFile checked;
    std::string error;
    ok = readSignedFile(trusted, patch, &checked, &error) && checked.good() && ok;
  };
  auto baseline = [&] {
    ok = bench::runProgram({"minisign", "-V", "-q", "-p", pub, "-m", patch}) && ok;
  };
  const bench::PairResult r = bench::runPairs(pairs < bench::kMinRounds ? bench::kMinRounds : pairs,
                                              subject, baseline, {}, true);
  bench::printThroughput("signature check of a " + std::to_string(mib) + " MiB patch",
                         mib * bench::kMiB, r, 0);
  std::printf("time ratio Tovarin / minisign -V: %.3f (target <= 1.2), %d pairs\n", r.timeRatio(),
              static_cast<int>(r.subjectTimes.size()));
  if (!ok) {
    std::printf("a check failed\n");
    return 1;
  }
  return 0;
}
