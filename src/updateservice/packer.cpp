#include "updateservice/packer.h"

#include "patchformat.h"
#include "updateservice/catalogue_name.h"

PackResult Pack(const std::string& workFolder, const std::string& hardwareName,
                std::int32_t newVersion, const std::vector<std::string>& names,
                const std::string& currentVersion) {
  PackResult result;
  const std::string patchName = hardwareName + std::to_string(newVersion) + ".patch";
  // The hardware name comes from the device: it must not lead elsewhere.
  if (!patchformat::isPlainEntryName(patchName)) {
    result.error = "hardware name " + hardwareName + " cannot name a patch file";
    return result;
  }
  std::vector<patchformat::PayloadFile> payload;
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (!isShellSafeFileName(names[k])) {
      result.error = "file name " + names[k] + " is not a plain file name";
      return result;
    }
    payload.emplace_back(names[k], workFolder + std::to_string(k));
  }
  result.patchPath = workFolder + patchName;
  result.ok = patchformat::writePatch(result.patchPath, hardwareName, newVersion, payload,
                                      patchformat::buildInstallScript(currentVersion, names),
                                      &result.error);
  return result;
}
