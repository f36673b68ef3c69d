// A listing reply buffer as the file page reads it: the count the library
// gives and the 516 bytes of entries, then each entry's icon, device path,
// the parent Up lists and the local name a download would get.
#include <cstdint>
#include <cstring>
#include <string>

#include "remotefiles/remote_paths.h"

using namespace remotefiles;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  std::int32_t count;
  std::memcpy(&count, data, sizeof count);
  char buffer[kReplyBufferSize] = {};
  std::memcpy(buffer, data + 4, std::min(size - 4, kReplyBufferSize));
  std::string path = "dir/sub.d";
  for (int i = 0; i < boundedEntryCount(count); ++i) {
    auto entry = entryAt(buffer, i);
    if (!entry) continue;
    imageIndexFor(entry->kind, entry->name);
    std::string full = fullDevicePath(path, entry->name);
    std::string relative = relativePathOf(full);
    addressBoxText(relative);
    parentDirOf(relative);
    fitsPathField(relative);
    downloadRequestCode(entry->name, true);
    if (auto name = downloadFileName(full)) {
      if (name->empty() || *name == "." || *name == ".." || name->find('/') != std::string::npos ||
          name->find('\0') != std::string::npos)
        std::abort();
    }
  }
  return 0;
}
