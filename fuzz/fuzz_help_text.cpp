// A help file as the program cuts out one pack's section; the first input
// line is the pack file name.
#include <cstdint>
#include <cstdlib>

#include "fuzz_input.h"
#include "settings/help_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto [packFile, bytes] = fuzzinput::firstLineAndRest(fuzzinput::asText(data, size));
  std::string section = helpSectionText(bytes, packFile);
  if (section.size() > bytes.size()) std::abort();
  return 0;
}
