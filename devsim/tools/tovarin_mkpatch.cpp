// tovarin-mkpatch: packs files into a .patch update patch with the standard
// install script, the way the program's online update packs its downloads.
//
//   tovarin-mkpatch OUT.patch HWNAME VERSION CURRENTVERSION [--name ENTRY] FILE...
//
// Each FILE is stored under its file name, or under ENTRY when "--name ENTRY"
// comes right before it. VERSION goes into the header; CURRENTVERSION is the
// version the install script hands to /tmp/exshell.sh.

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "patchformat.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: tovarin-mkpatch OUT.patch HWNAME VERSION CURRENTVERSION "
               "[--name ENTRY] FILE...\n");
  return 2;
}

bool parseVersion(const std::string& text, std::int32_t* version) {
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, *version);
  return !text.empty() && ec == std::errc() && stop == end;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return usage();
  const std::string output = argv[1];
  const std::string hardwareName = argv[2];
  std::int32_t version = 0;
  if (!parseVersion(argv[3], &version)) {
    std::fprintf(stderr, "tovarin-mkpatch: VERSION must be a decimal number: %s\n", argv[3]);
    return 2;
  }
  const std::string currentVersion = argv[4];
  if (currentVersion.find_first_of("\r\n") != std::string::npos) return usage();

  std::vector<patchformat::PayloadFile> payload;
  std::vector<std::string> names;
  std::string pendingName;
  for (int i = 5; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--name") {
      if (i + 1 >= argc) return usage();
      pendingName = argv[++i];
      continue;
    }
    std::string name =
        pendingName.empty() ? std::filesystem::path(arg).filename().string() : pendingName;
    pendingName.clear();
    names.push_back(name);
    payload.emplace_back(name, arg);
  }
  if (!pendingName.empty()) return usage();

  std::string error;
  if (!patchformat::writePatch(output, hardwareName, version, payload,
                               patchformat::buildInstallScript(currentVersion, names), &error)) {
    std::fprintf(stderr, "tovarin-mkpatch: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
