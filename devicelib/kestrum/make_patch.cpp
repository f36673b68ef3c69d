// MakePatch: builds a .patch file from the files that the caller hands out
// through the getfile2patch callback, the rule script last.

#include <filesystem>
#include <string>
#include <vector>

#include "callbacks.h"
#include "kestrum.h"
#include "patchformat.h"

namespace {

// MakePatch's failure codes (0 is success).
constexpr int32_t kNoCallback = -1;
constexpr int32_t kBadArguments = -2;
constexpr int32_t kNoSuchFile = -3;
constexpr int32_t kWriteFailed = -4;

// The information buffer holds the file's path in comma-text form: the path
// itself, or the path in double quotes with every inner quote doubled.
// Returns false for a quoted text that does not close properly.
bool decodeCommaText(const std::string& text, std::string* path) {
  if (text.empty() || text.front() != '"') {
    *path = text;
    return true;
  }
  std::string out;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] != '"') {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '"') {
      out += '"';
      ++i;
    } else {
      if (i + 1 != text.size()) return false;  // more than one item
      *path = out;
      return true;
    }
  }
  return false;  // no closing quote
}

// Asks the caller for file `index` (1-based). Both buffers are zeroed first
// and get a final NUL afterwards, so a caller that fills them completely
// cannot make us read past them.
bool askForFile(kestrum_getfile2patch_fn callback, int32_t index, std::string* name,
                std::string* path) {
  std::vector<char> nameBuffer(KESTRUM_PATCH_NAME_SIZE, '\0');
  std::vector<char> infoBuffer(KESTRUM_PATCH_INFO_SIZE, '\0');
  callback(nameBuffer.data(), infoBuffer.data(), index);
  nameBuffer.back() = '\0';
  infoBuffer.back() = '\0';
  *name = nameBuffer.data();
  if (!decodeCommaText(infoBuffer.data(), path) || path->empty()) return false;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(*path, ec)) return false;
  if (name->empty()) *name = std::filesystem::path(*path).filename().string();
  return true;
}

}  // namespace

// The old version is accepted for the caller's sake but not stored: the
// patch header has no field for it.
extern "C" KESTRUM_API int32_t MakePatch(const char* hardwareName, int32_t newVersion,
                                         int32_t oldVersion, int32_t fileCount,
                                         const char* outputPath) {
  (void)oldVersion;
  const kestrum_getfile2patch_fn callback = kestrum::getFile2PatchCallback();
  if (!callback) return kNoCallback;
  if (fileCount < 1 || !outputPath || !*outputPath) return kBadArguments;

  std::vector<patchformat::PayloadFile> entries;
  for (int32_t index = 1; index <= fileCount; ++index) {
    std::string name;
    std::string path;
    if (!askForFile(callback, index, &name, &path)) return kNoSuchFile;
    // The last file is the rule script, stored under the name the device runs.
    if (index == fileCount) name = patchformat::kRuleScriptName;
    entries.emplace_back(name, path);
  }
  if (patchformat::outputIsAnInput(outputPath, entries)) return kBadArguments;

  int32_t reported = 0;
  kestrum::reportProgress(0, KESTRUM_CHANNEL_MAKE_PATCH);
  auto progress = [&](std::uint64_t written, std::uint64_t total) {
    const auto percent = static_cast<int32_t>(written * 100 / total);
    if (percent != reported) {
      reported = percent;
      kestrum::reportProgress(percent, KESTRUM_CHANNEL_MAKE_PATCH);
    }
  };
  std::string error;
  if (!patchformat::writePatchEntries(outputPath, hardwareName ? hardwareName : "", newVersion,
                                      entries, &error, progress)) {
    return kWriteFailed;
  }
  if (reported != 100) kestrum::reportProgress(100, KESTRUM_CHANNEL_MAKE_PATCH);
  return 0;
}
