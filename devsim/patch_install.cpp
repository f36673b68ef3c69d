#include "patch_install.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "frame.h"
#include "install_script.h"
#include "patchformat.h"
#include "storage.h"

namespace devsim {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kMaxScriptBytes = 1 << 20;

InstallOutcome refused(std::int32_t status, std::string message) {
  return {status, 0, std::move(message)};
}

void emptyFolder(const std::string& folder) {
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder, ec);
}

}  // namespace

InstallOutcome installPatch(const Device& device, const std::string& patchPath,
                            const std::function<void(std::int32_t)>& progress) {
  patchformat::Header header;
  std::vector<patchformat::EntryInfo> entries;
  std::string error;
  if (!patchformat::readPatch(patchPath, &header, &entries, &error))
    return refused(wire::kStatusRefused, error);
  std::string ownHardware = device.config().hardware.substr(0, patchformat::kHardwareNameWidth);
  if (device.faults().otherHardware || header.hardwareName != ownHardware)
    return refused(wire::kStatusOtherHardware, "patch for hardware " + header.hardwareName);
  if (entries.empty() || entries.back().name != patchformat::kRuleScriptName ||
      entries.back().dataSize > kMaxScriptBytes)
    return refused(wire::kStatusRefused, "no install script at the end");
  std::uint64_t total = 0;
  for (const auto& e : entries) {
    if (!isPlainName(e.name))
      return refused(wire::kStatusRefused, "entry name not plain: " + e.name);
    total += e.dataSize;
  }

  progress(40);
  emptyFolder(device.tmp());
  std::uint64_t done = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!patchformat::extractEntry(patchPath, entries[i], device.tmp() + "/" + entries[i].name,
                                   &error))
      return refused(wire::kStatusRefused, error);
    done += entries[i].dataSize;
    std::uint64_t share = total ? done * 59 / total : (i + 1) * 59 / entries.size();
    if (i + 1 < entries.size()) progress(41 + static_cast<std::int32_t>(share * 58 / 59));
  }

  std::ifstream scriptFile(device.tmp() + "/" + patchformat::kRuleScriptName, std::ios::binary);
  std::string script((std::istreambuf_iterator<char>(scriptFile)),
                     std::istreambuf_iterator<char>());
  std::error_code ec;
  fs::create_directories(device.mtd(), ec);
  if (!runInstallScript(script, device.tmp(), device.mtd(), nullptr, &error))
    return refused(wire::kStatusRefused, "install script: " + error);
  progress(100);
  return {0, header.version, {}};
}

}  // namespace devsim
