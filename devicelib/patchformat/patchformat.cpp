#include "patchformat.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace patchformat {
namespace {

// Every copy goes through one buffer of this size, whatever the file size:
// large enough that the copy costs about what dd bs=1M does.
constexpr std::size_t kCopyBufferSize = 1024 * 1024;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openFile(const std::string& path, const char* mode, std::string* error) {
  File f(std::fopen(path.c_str(), mode));
  if (!f && error) *error = "cannot open " + path + ": " + std::strerror(errno);
  return f;
}

bool seekTo(std::FILE* f, std::uint64_t offset) {
#if defined(_WIN32)
  return _fseeki64(f, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool lengthOf(std::FILE* f, std::uint64_t* length) {
#if defined(_WIN32)
  if (_fseeki64(f, 0, SEEK_END) != 0) return false;
  const __int64 end = _ftelli64(f);
#else
  if (fseeko(f, 0, SEEK_END) != 0) return false;
  const off_t end = ftello(f);
#endif
  if (end < 0) return false;
  *length = static_cast<std::uint64_t>(end);
  return true;
}

void putU32(unsigned char* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t getU32(const unsigned char* at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}

// Text, then zero bytes up to the width; a text as long as the field or
// longer fills it with its first bytes and gets no terminating zero.
void putText(unsigned char* at, std::size_t width, const std::string& text) {
  std::memset(at, 0, width);
  std::memcpy(at, text.data(), std::min(width, text.size()));
}

std::string getText(const unsigned char* at, std::size_t width) {
  const void* nul = std::memchr(at, 0, width);
  const std::size_t length =
      nul ? static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - at) : width;
  return std::string(reinterpret_cast<const char*>(at), length);
}

bool fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

// Writes one entry's data from an open file, exactly `size` bytes; a file
// that turns out shorter or longer than measured is an error.
bool copyFileData(std::FILE* in, std::FILE* out, std::uint64_t size, const std::string& source,
                  const std::function<void(std::size_t)>& wrote, std::string* error) {
  std::vector<unsigned char> buffer(kCopyBufferSize);  // too large for a worker's stack
  std::uint64_t left = size;
  while (left > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
    const std::size_t got = std::fread(buffer.data(), 1, want, in);
    if (got != want) {
      return fail(error, std::ferror(in) ? "cannot read " + source
                                         : source + " became shorter while it was packed");
    }
    if (std::fwrite(buffer.data(), 1, got, out) != got) return false;
    left -= got;
    wrote(got);
  }
  if (std::fgetc(in) != EOF) return fail(error, source + " grew while it was packed");
  return true;
}

struct PlannedEntry {
  const PayloadFile* source;
  std::uint64_t size;
};

bool planEntries(const std::vector<PayloadFile>& entries, std::vector<PlannedEntry>* plan,
                 std::uint64_t* total, std::string* error) {
  *total = kHeaderSize;
  for (const PayloadFile& entry : entries) {
    std::uint64_t size = 0;
    if (entry.bytes) {
      size = entry.bytes->size();
    } else {
      std::error_code ec;
      size = std::filesystem::file_size(entry.localPath, ec);
      if (ec) return fail(error, "cannot read " + entry.localPath + ": " + ec.message());
    }
    if (size >= kSizeLimit) {
      return fail(error, "file " + entry.entryName + " is 4 GiB or larger (" +
                             std::to_string(size) + " bytes); a patch entry must stay below 4 GiB");
    }
    *total += kEntryHeaderSize + size;
    if (*total >= kSizeLimit) {
      return fail(error, "the patch would reach 4 GiB; a patch must stay below 4 GiB");
    }
    plan->push_back({&entry, size});
  }
  return true;
}

bool writeEntries(std::FILE* out, const std::vector<PlannedEntry>& plan,
                  const std::function<void(std::size_t)>& wrote, std::string* error) {
  for (const PlannedEntry& entry : plan) {
    File in;
    if (!entry.source->bytes) {
      in = openFile(entry.source->localPath, "rb", error);
      if (!in) return false;
    }
    std::array<unsigned char, kEntryHeaderSize> head{};
    putText(head.data(), kEntryNameWidth, entry.source->entryName);
    putU32(head.data() + kEntryNameWidth, static_cast<std::uint32_t>(entry.size));
    if (std::fwrite(head.data(), 1, head.size(), out) != head.size()) return false;
    wrote(head.size());
    if (entry.source->bytes) {
      const std::string& bytes = *entry.source->bytes;
      if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) return false;
      wrote(bytes.size());
    } else if (!copyFileData(in.get(), out, entry.size, entry.source->localPath, wrote, error)) {
      return false;
    }
  }
  return true;
}

bool writeHeader(std::FILE* out, const std::string& hardwareName, std::int32_t version,
                 std::uint32_t totalFiles, std::uint32_t patchSize) {
  std::array<unsigned char, kHeaderSize> head{};  // reserved bytes stay zero
  putU32(head.data(), kCommandCode);
  putText(head.data() + 4, kHardwareNameWidth, hardwareName);
  putU32(head.data() + 20, static_cast<std::uint32_t>(version));
  putU32(head.data() + 24, totalFiles);
  putU32(head.data() + 28, patchSize);
  return seekTo(out, 0) && std::fwrite(head.data(), 1, head.size(), out) == head.size();
}

// A new file "<outputPath>.XXXXXX" in the output's folder, so that the
// finished patch can be renamed over the output in one step.
File createTempBeside(const std::string& outputPath, std::string* tempPath, std::string* error) {
  std::string pattern = outputPath + ".XXXXXX";
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    if (error) *error = "cannot create a file beside " + outputPath + ": " + std::strerror(errno);
    return nullptr;
  }
  ::fchmod(fd, 0644);  // mkstemp makes it private; a patch is an ordinary file
  File f(::fdopen(fd, "wb"));
  if (!f) {
    ::close(fd);
    ::unlink(pattern.c_str());
    if (error) *error = "cannot write " + pattern;
    return nullptr;
  }
  *tempPath = pattern;
  return f;
}

}  // namespace

// True when outputPath names one of the input files (also through a link):
// writing there would destroy the input before it is read.
bool outputIsAnInput(const std::string& outputPath, const std::vector<PayloadFile>& entries) {
  for (const PayloadFile& entry : entries) {
    std::error_code ec;
    if (!entry.bytes && std::filesystem::equivalent(outputPath, entry.localPath, ec)) return true;
  }
  return false;
}

std::string buildInstallScript(const std::string& currentVersion,
                               const std::vector<std::string>& entryNames) {
  std::string script =
      "#!/bin/sh\n"
      "if [ -f \"/tmp/exshell.sh\" ]\n"
      "then\n"
      "/tmp/exshell.sh " +
      currentVersion +
      "\n"
      "fi\n";
  for (const std::string& name : entryNames) script += "cp -f /tmp/" + name + " /mnt/mtd/\n";
  script +=
      "if [ -f \"/tmp/version.ini\" ]\n"
      "then\n"
      "cp /tmp/version.ini /mnt/mtd/ -f\n"
      "fi\n"
      "echo \"========= update OK!!! =======\"\n";
  return script;
}

bool writePatchEntries(const std::string& outputPath, const std::string& hardwareName,
                       std::int32_t version, const std::vector<PayloadFile>& entries,
                       std::string* error, const ProgressFn& progress) {
  std::vector<PlannedEntry> plan;
  std::uint64_t total = 0;
  if (entries.size() >= kSizeLimit) return fail(error, "too many entries for one patch");
  if (outputIsAnInput(outputPath, entries))
    return fail(error, "the output " + outputPath + " is one of the input files");
  if (!planEntries(entries, &plan, &total, error)) return false;

  std::string tempPath;
  File out = createTempBeside(outputPath, &tempPath, error);
  if (!out) return false;
  std::uint64_t written = 0;
  auto wrote = [&](std::size_t bytes) {
    written += bytes;
    if (progress) progress(written, total);
  };
  std::string localError;
  bool ok = seekTo(out.get(), kHeaderSize);
  wrote(kHeaderSize);
  ok = ok && writeEntries(out.get(), plan, wrote, &localError);
  ok = ok &&
       writeHeader(out.get(), hardwareName, version, static_cast<std::uint32_t>(entries.size()),
                   static_cast<std::uint32_t>(total));
  ok = (std::fflush(out.get()) == 0) && (::fsync(::fileno(out.get())) == 0) && ok;
  ok = (std::fclose(out.release()) == 0) && ok;
  if (ok && ::rename(tempPath.c_str(), outputPath.c_str()) != 0) {
    localError = "cannot replace " + outputPath + ": " + std::strerror(errno);
    ok = false;
  }
  if (!ok) {
    if (localError.empty()) localError = "cannot write " + outputPath;
    ::unlink(tempPath.c_str());  // only our own file; the output path is untouched
    return fail(error, localError);
  }
  return true;
}

bool writePatch(const std::string& outputPath, const std::string& hardwareName,
                std::int32_t version, const std::vector<PayloadFile>& payload,
                const std::string& script, std::string* error, const ProgressFn& progress) {
  std::vector<PayloadFile> entries = payload;
  entries.push_back(PayloadFile::fromBytes(kRuleScriptName, script));
  return writePatchEntries(outputPath, hardwareName, version, entries, error, progress);
}

bool readPatch(const std::string& patchPath, Header* header, std::vector<EntryInfo>* entries,
               std::string* error) {
  File in = openFile(patchPath, "rb", error);
  if (!in) return false;
  std::uint64_t length = 0;
  if (!lengthOf(in.get(), &length)) return fail(error, "cannot read " + patchPath);
  if (length < kHeaderSize) return fail(error, "patch is shorter than its 128-byte header");

  std::array<unsigned char, kHeaderSize> head{};
  if (!seekTo(in.get(), 0) || std::fread(head.data(), 1, head.size(), in.get()) != head.size()) {
    return fail(error, "cannot read the patch header");
  }
  Header h;
  h.commandCode = getU32(head.data());
  h.hardwareName = getText(head.data() + 4, kHardwareNameWidth);
  h.version = static_cast<std::int32_t>(getU32(head.data() + 20));
  h.totalFiles = getU32(head.data() + 24);
  h.patchSize = getU32(head.data() + 28);
  if (h.commandCode != kCommandCode) {
    return fail(error, "not a patch: command code " + std::to_string(h.commandCode));
  }
  if (h.patchSize != length) {
    return fail(error, "patch size field says " + std::to_string(h.patchSize) +
                           " bytes but the file holds " + std::to_string(length));
  }
  if (h.totalFiles == 0) return fail(error, "patch holds no entry");
  // Each entry takes at least its 64-byte head: a count that cannot fit is
  // refused before anything is allocated for it.
  if (h.totalFiles > (length - kHeaderSize) / kEntryHeaderSize) {
    return fail(
        error, "total files field (" + std::to_string(h.totalFiles) + ") does not fit in the file");
  }

  std::vector<EntryInfo> found;
  found.reserve(h.totalFiles);
  std::uint64_t offset = kHeaderSize;
  for (std::uint32_t i = 0; i < h.totalFiles; ++i) {
    std::array<unsigned char, kEntryHeaderSize> entryHead{};
    if (length - offset < kEntryHeaderSize || !seekTo(in.get(), offset) ||
        std::fread(entryHead.data(), 1, entryHead.size(), in.get()) != entryHead.size()) {
      return fail(error, "entry " + std::to_string(i + 1) + " is cut off");
    }
    EntryInfo entry;
    entry.name = getText(entryHead.data(), kEntryNameWidth);
    entry.dataSize = getU32(entryHead.data() + kEntryNameWidth);
    entry.dataOffset = offset + kEntryHeaderSize;
    if (entry.dataSize > length - entry.dataOffset) {
      return fail(error, "entry " + std::to_string(i + 1) + " (" + entry.name +
                             ") claims more data than the file holds");
    }
    offset = entry.dataOffset + entry.dataSize;
    found.push_back(std::move(entry));
  }
  if (offset != length) {
    return fail(error, std::to_string(length - offset) + " bytes follow the last entry");
  }
  if (header) *header = std::move(h);
  if (entries) *entries = std::move(found);
  return true;
}

bool isPlainEntryName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f || c == '/' || c == '\\') return false;
  }
  return true;
}

bool extractEntry(const std::string& patchPath, const EntryInfo& entry,
                  const std::string& outputPath, std::string* error) {
  File in = openFile(patchPath, "rb", error);
  if (!in) return false;
  std::uint64_t length = 0;
  if (!lengthOf(in.get(), &length)) return fail(error, "cannot read " + patchPath);
  if (entry.dataOffset > length || entry.dataSize > length - entry.dataOffset) {
    return fail(error, "entry " + entry.name + " lies outside " + patchPath);
  }
  if (!seekTo(in.get(), entry.dataOffset)) return fail(error, "cannot read " + patchPath);

  File out = openFile(outputPath, "wb", error);
  if (!out) return false;
  std::vector<unsigned char> buffer(kCopyBufferSize);
  std::uint64_t left = entry.dataSize;
  bool ok = true;
  std::string localError;
  while (ok && left > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
    if (std::fread(buffer.data(), 1, want, in.get()) != want) {
      ok = false;
      localError = "cannot read entry " + entry.name + " from " + patchPath;
    } else if (std::fwrite(buffer.data(), 1, want, out.get()) != want) {
      ok = false;
    }
    left -= want;
  }
  ok = (std::fclose(out.release()) == 0) && ok;
  if (!ok) {
    if (localError.empty()) localError = "cannot write " + outputPath;
    std::error_code ignored;
    std::filesystem::remove(outputPath, ignored);
    return fail(error, localError);
  }
  return true;
}

}  // namespace patchformat
