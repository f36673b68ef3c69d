// A request path as the lab's update server maps it onto its folder, which
// holds a file, a sub-folder and a link that points outside.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_input.h"
#include "served_path.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fs::path root = [] {
    fs::path r = fuzzinput::scratchFolder() / "served";
    fs::create_directories(r / "47RKT");
    std::ofstream(r / "47RKT" / "versionlist_new.txt") << "NewVer=2011&;";
    std::ofstream(fuzzinput::scratchFolder() / "secret") << "outside";
    fs::create_symlink(fuzzinput::scratchFolder() / "secret", r / "leak");
    return fs::canonical(r);
  }();
  auto file = devsim::resolveServedFile(root, std::string(fuzzinput::asText(data, size)));
  if (file) {
    auto [r, f] = std::mismatch(root.begin(), root.end(), file->begin(), file->end());
    if (r != root.end()) std::abort();
  }
  return 0;
}
