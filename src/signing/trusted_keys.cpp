#include "signing/trusted_keys.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "settings/program_folders.h"

namespace fs = std::filesystem;

namespace {

// A key file is two short lines; anything much larger is not one.
constexpr std::uintmax_t kMaxKeyFile = 4096;

bool readSmallFile(const fs::path& path, std::string* text) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec || size > kMaxKeyFile) return false;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  *text = all.str();
  return static_cast<bool>(in) || in.eof();
}

}  // namespace

std::vector<fs::path> trustedKeyFolders(const ProgramFolders& folders) {
  if (folders.settings == folders.data) return {folders.settings / "trusted-keys"};
  return {fs::path("/etc/tovarin/trusted-keys"), folders.settings / "trusted-keys"};
}

TrustedKeys loadTrustedKeys(const std::vector<fs::path>& folders) {
  TrustedKeys trusted;
  for (const fs::path& folder : folders) {
    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      if (it->path().extension() == ".pub" && it->is_regular_file(ec)) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      std::string text;
      const auto key = readSmallFile(file, &text) ? minisign::parsePublicKey(text) : std::nullopt;
      if (!key) {
        trusted.unreadable.push_back(file);
        continue;
      }
      const bool known = std::any_of(trusted.keys.begin(), trusted.keys.end(), [&](const auto& k) {
        return k.id == key->id && k.key == key->key;
      });
      if (known) continue;
      trusted.keys.push_back(*key);
      trusted.files.push_back(file);
    }
  }
  return trusted;
}
