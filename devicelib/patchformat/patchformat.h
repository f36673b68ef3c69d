// The .patch update patch format: a 128-byte header, then one entry per
// payload file and the install script last. Little-endian, fixed-width text
// fields (text, NUL, zero padding; a text as long as the field fills it).
//
// Header: command code (u32, 10), hardware name (16 bytes), version (i32),
// total files (u32), patch size (u32, whole file), 96 zero bytes.
// Entry: name (56 bytes), data size (u32), 4 zero bytes, then the data.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace patchformat {

constexpr std::uint32_t kCommandCode = 10;
constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kHardwareNameWidth = 16;
constexpr std::size_t kEntryHeaderSize = 64;
constexpr std::size_t kEntryNameWidth = 56;
constexpr const char* kRuleScriptName = "patchrule.sh";
// The size fields are 32 bits wide: every entry and the whole patch must stay
// below this many bytes.
constexpr std::uint64_t kSizeLimit = std::uint64_t{1} << 32;

struct Header {
  std::uint32_t commandCode = kCommandCode;
  std::string hardwareName;  // at most 16 bytes are stored
  std::int32_t version = 0;
  std::uint32_t totalFiles = 0;  // payload files + the script
  std::uint32_t patchSize = 0;   // whole file, header included
};

struct EntryInfo {
  std::string name;  // at most 56 bytes are stored
  std::uint32_t dataSize = 0;
  std::uint64_t dataOffset = 0;  // offset of the data in the patch file
};

// Builds the install script for the given payload entry names; every line
// ends with LF.
std::string buildInstallScript(const std::string& currentVersion,
                               const std::vector<std::string>& entryNames);

// One entry for writePatch: the name stored in the entry and where its bytes
// come from, either a local file (copied through a fixed buffer) or bytes
// held in memory (used for the generated install script).
struct PayloadFile {
  PayloadFile(std::string name, std::string path)
      : entryName(std::move(name)), localPath(std::move(path)) {}
  static PayloadFile fromBytes(std::string name, std::string data) {
    PayloadFile entry(std::move(name), "");
    entry.bytes = std::move(data);
    return entry;
  }

  std::string entryName;
  std::string localPath;
  std::optional<std::string> bytes;  // when set, stored instead of localPath's content
};

// Told after every block written: bytes written so far and the final size.
using ProgressFn = std::function<void(std::uint64_t written, std::uint64_t total)>;

// Writes a patch whose entries are exactly `entries`, in order (the caller
// puts the install script last). All sizes are checked before anything is
// written. Returns false and sets error on any failure (a file that cannot be
// read or written, a file that changed size while copied, an entry of 4 GiB
// or more, a patch that would reach 4 GiB, an output that is one of the
// inputs). The patch is written to a new file beside the output and renamed
// over it when complete, so a failure leaves the output path as it was.
bool writePatchEntries(const std::string& outputPath, const std::string& hardwareName,
                       std::int32_t version, const std::vector<PayloadFile>& entries,
                       std::string* error, const ProgressFn& progress = nullptr);

// True when outputPath names one of the entries' local files (also through a
// link): writing there would destroy that input before it is read.
bool outputIsAnInput(const std::string& outputPath, const std::vector<PayloadFile>& entries);

// Writes a complete patch: the payload files in order, then the script as
// "patchrule.sh".
bool writePatch(const std::string& outputPath, const std::string& hardwareName,
                std::int32_t version, const std::vector<PayloadFile>& payload,
                const std::string& script, std::string* error,
                const ProgressFn& progress = nullptr);

// Reads and checks the header and the entry table of a patch file, trusting
// nothing in it: command code, patch size equal to the file's real length,
// every entry inside the file, the last entry ending exactly at the end.
bool readPatch(const std::string& patchPath, Header* header, std::vector<EntryInfo>* entries,
               std::string* error);

// True for an entry name that is safe to use as a file name inside one
// folder: not empty, not "." or "..", no slash, backslash or control byte.
bool isPlainEntryName(const std::string& name);

// Copies one entry's data into a local file through a fixed buffer. A partly
// written output file is removed on failure.
bool extractEntry(const std::string& patchPath, const EntryInfo& entry,
                  const std::string& outputPath, std::string* error);

}  // namespace patchformat
