// An update catalogue as the update run reads it: the new version and the
// files newer than the device's version.
#include <cstdint>
#include <cstdlib>

#include "fuzz_input.h"
#include "updateservice/catalogue.h"
#include "updateservice/catalogue_name.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text = fuzzinput::asText(data, size);
  auto version = catalogueNewVersion(text);
  auto files = catalogueFilesNewerThan(text, version ? *version - 1 : 2010);
  if (files) {
    for (const CatalogueFile& file : *files) isPlainCatalogueName(file.name);
  }
  catalogueFilesNewerThan(text, 0);
  return 0;
}
