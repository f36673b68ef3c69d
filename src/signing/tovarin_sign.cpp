// tovarin-sign: makes keys and signatures in minisign's format for
// publishers who do not have minisign, and checks them.
//   tovarin-sign keygen -p KEY.pub -s KEY.key [-c COMMENT] [-f]
//   tovarin-sign sign -s KEY.key [-t TRUSTED_COMMENT] FILE...
//   tovarin-sign verify -p KEY.pub FILE...
// The secret key is written without a password (as `minisign -G -W` does):
// keep it on the signing machine only, readable by its owner alone.
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "signing/minisign_crypto.h"

namespace {

constexpr int kUsage = 2;

int usage() {
  std::cerr << "usage:\n"
               "  tovarin-sign keygen -p KEY.pub -s KEY.key [-c COMMENT] [-f]\n"
               "  tovarin-sign sign -s KEY.key [-t TRUSTED_COMMENT] FILE...\n"
               "  tovarin-sign verify -p KEY.pub FILE...\n"
               "Signatures go to FILE.minisig, in minisign's format.\n";
  return kUsage;
}

bool readFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  *bytes = std::move(all).str();
  return !in.bad();
}

bool writeFile(const std::string& path, const std::string& text, bool secret) {
  const mode_t old = secret ? ::umask(077) : ::umask(022);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  ::umask(old);
  return static_cast<bool>(out);
}

struct Args {
  std::string pub, sec, comment, trusted;
  bool force = false;
  std::vector<std::string> files;
};

bool parse(int argc, char** argv, Args* a) {
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* into) {
      if (i + 1 >= argc) return false;
      *into = argv[++i];
      return true;
    };
    if (arg == "-p") {
      if (!value(&a->pub)) return false;
    } else if (arg == "-s") {
      if (!value(&a->sec)) return false;
    } else if (arg == "-c") {
      if (!value(&a->comment)) return false;
    } else if (arg == "-t") {
      if (!value(&a->trusted)) return false;
    } else if (arg == "-f") {
      a->force = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return false;
    } else {
      a->files.push_back(arg);
    }
  }
  return true;
}

// Comments are single lines in the format.
bool oneLine(const std::string& text) { return text.find_first_of("\r\n") == std::string::npos; }

int keygen(const Args& a) {
  if (a.pub.empty() || a.sec.empty() || !a.files.empty() || !oneLine(a.comment)) return usage();
  if (!a.force && (std::filesystem::exists(a.pub) || std::filesystem::exists(a.sec))) {
    std::cerr << "tovarin-sign: a key file is already there (use -f to replace it)\n";
    return 1;
  }
  minisign::KeyPair pair = minisign::generateKeyPair();
  if (!a.comment.empty()) pair.publicKey.comment = a.comment;
  if (!writeFile(
          a.sec,
          minisign::formatSecretKey(
              pair.secretKey, "minisign secret key " + minisign::keyIdText(pair.secretKey.id)),
          true) ||
      !writeFile(a.pub, minisign::formatPublicKey(pair.publicKey), false)) {
    std::cerr << "tovarin-sign: cannot write the key files\n";
    return 1;
  }
  std::cout << "key " << minisign::keyIdText(pair.publicKey.id) << ": public " << a.pub
            << ", secret " << a.sec << " (no password: keep it private)\n";
  return 0;
}

int sign(const Args& a) {
  if (a.sec.empty() || a.files.empty() || !oneLine(a.trusted)) return usage();
  std::string text, error;
  if (!readFile(a.sec, &text)) {
    std::cerr << "tovarin-sign: cannot read " << a.sec << "\n";
    return 1;
  }
  const auto key = minisign::parseSecretKey(text, &error);
  if (!key) {
    std::cerr << "tovarin-sign: " << a.sec << ": " << error << "\n";
    return 1;
  }
  for (const std::string& file : a.files) {
    std::string bytes;
    if (!readFile(file, &bytes)) {
      std::cerr << "tovarin-sign: cannot read " << file << "\n";
      return 1;
    }
    // As minisign writes it when no trusted comment is given.
    const std::string trusted =
        !a.trusted.empty()
            ? a.trusted
            : "timestamp:" + std::to_string(std::time(nullptr)) +
                  "\tfile:" + std::filesystem::path(file).filename().string() + "\thashed";
    const minisign::Signature s = minisign::sign(*key, bytes, trusted);
    if (!writeFile(file + ".minisig",
                   minisign::formatSignature(s, "signature from tovarin-sign secret key"), false)) {
      std::cerr << "tovarin-sign: cannot write " << file << ".minisig\n";
      return 1;
    }
  }
  return 0;
}

int verify(const Args& a) {
  if (a.pub.empty() || a.files.empty()) return usage();
  std::string text;
  const auto key = readFile(a.pub, &text) ? minisign::parsePublicKey(text) : std::nullopt;
  if (!key) {
    std::cerr << "tovarin-sign: " << a.pub << " is not a minisign public key\n";
    return 1;
  }
  int result = 0;
  for (const std::string& file : a.files) {
    std::string bytes, signature;
    if (!readFile(file, &bytes)) {
      std::cerr << "tovarin-sign: cannot read " << file << "\n";
      return 1;
    }
    readFile(file + ".minisig", &signature);
    const minisign::Verdict v = minisign::verify({*key}, bytes, signature);
    switch (v.kind) {
      case minisign::Verdict::Good:
        std::cout << file << ": signed by " << key->comment
                  << "\ntrusted comment: " << v.trustedComment << "\n";
        break;
      case minisign::Verdict::Unsigned:
        std::cerr << file << ": no readable signature\n";
        result = 1;
        break;
      case minisign::Verdict::UnknownKey:
        std::cerr << file << ": signed by another key\n";
        result = 1;
        break;
      case minisign::Verdict::Mismatch:
        std::cerr << file << ": signature does not match\n";
        result = 1;
        break;
    }
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  Args a;
  if (!parse(argc, argv, &a)) return usage();
  const std::string command = argv[1];
  if (command == "keygen") return keygen(a);
  if (command == "sign") return sign(a);
  if (command == "verify") return verify(a);
  return usage();
}
