// language.ext as the program reads it: the languages offered and the one
// chosen.
#include <cstdint>
#include <cstdlib>

#include "fuzz_input.h"
#include "settings/language_index.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LanguageIndex index = parseLanguageIndex(fuzzinput::asText(data, size));
  if (!index.entries.empty() &&
      (index.selectedIndex < 0 || index.selectedIndex >= static_cast<int>(index.entries.size())))
    std::abort();
  for (int i = -1; i <= static_cast<int>(index.entries.size()); ++i)
    index.packPathAt("/opt/tovarin", i);
  return 0;
}
