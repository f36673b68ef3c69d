// Binds the verified downloads of an online update into one .patch file: the
// downloaded files in catalogue order, then the install script
// "patchrule.sh" that copies each of them to /mnt/mtd/ on the camera.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PackResult {
  bool ok = false;
  std::string patchPath;  // workFolder + hardwareName + newVersion + ".patch"
  std::string error;      // why nothing usable was written
};

// Downloaded file k lies in workFolder (which ends with a separator) under
// the name k in decimal and belongs to names[k]. Refuses names that are not
// shell-safe (the install script names them), a patch file name that would
// leave the work folder, and files or a patch of 4 GiB or more; a failed
// packing leaves no patch.
PackResult Pack(const std::string& workFolder, const std::string& hardwareName,
                std::int32_t newVersion, const std::vector<std::string>& names,
                const std::string& currentVersion);
