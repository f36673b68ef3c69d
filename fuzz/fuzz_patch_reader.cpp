// A .patch file as the reader takes it apart, and the entries it accepts
// copied out.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "fuzz_input.h"
#include "patchformat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string patchPath = (fuzzinput::scratchFolder() / "input.patch").string();
  static const std::string outPath = (fuzzinput::scratchFolder() / "entry.out").string();
  {
    std::ofstream out(patchPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  patchformat::Header header;
  std::vector<patchformat::EntryInfo> entries;
  std::string error;
  if (!patchformat::readPatch(patchPath, &header, &entries, &error)) return 0;
  if (header.patchSize != size) std::abort();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& entry = entries[i];
    if (entry.dataOffset + entry.dataSize > size) std::abort();
    patchformat::isPlainEntryName(entry.name);
    // Copying out is file work, not parsing: two entries show that an
    // accepted table is safe to follow, more only slow the run down.
    if (i < 2 && !patchformat::extractEntry(patchPath, entry, outPath, &error)) std::abort();
  }
  return 0;
}
