// A patch's install script as the lab's device carries it out, in a folder
// pair of its own with two payload files present.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "install_script.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fs::path tmp = fuzzinput::scratchFolder() / "tmp";
  static const fs::path mtd = fuzzinput::scratchFolder() / "mtd";
  static const bool made = [] {
    fs::create_directories(tmp);
    fs::create_directories(mtd);
    std::ofstream(tmp / "app.bin") << "app";
    std::ofstream(tmp / "ui.res") << "ui";
    return true;
  }();
  (void)made;
  std::vector<std::string> skipped;
  std::string error;
  devsim::runInstallScript(std::string(fuzzinput::asText(data, size)), tmp.string(), mtd.string(),
                           &skipped, &error);
  // Whatever the script says, nothing may appear beside the two folders.
  for (const auto& entry : fs::directory_iterator(fuzzinput::scratchFolder())) {
    if (entry.path() != tmp && entry.path() != mtd) std::abort();
  }
  return 0;
}
