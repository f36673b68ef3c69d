#include "firmware/patch_choice.h"

#include <vector>

#include "patchformat.h"

bool patchIsForOtherHardware(const std::string& patchPath, const std::string& deviceHardware) {
  patchformat::Header header;
  std::vector<patchformat::EntryInfo> entries;
  std::string error;
  if (!patchformat::readPatch(patchPath, &header, &entries, &error)) return false;
  return header.hardwareName.substr(0, patchformat::kHardwareNameWidth) !=
         deviceHardware.substr(0, patchformat::kHardwareNameWidth);
}
