#include "remotefiles/remote_paths.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

namespace remotefiles {

namespace {

constexpr char kLocalSeparator = std::filesystem::path::preferred_separator;

// Keeps the text before the last "/", or nothing when there is none.
std::string cutLastComponent(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

int boundedEntryCount(int32_t count) { return std::clamp<int32_t>(count, 0, kMaxReplyEntries); }

std::optional<RemoteDirEntry> entryAt(const char* buffer, int index) {
  const char* entry = buffer + static_cast<std::size_t>(index) * kEntrySize;
  // A kind of 0x00 ends the text that the name is read from: nothing left.
  if (entry[0] == '\0') return std::nullopt;
  RemoteDirEntry out;
  out.kind = entry[0];
  out.name.assign(entry + 1, strnlen(entry + 1, kEntrySize - 1));
  if (out.name.empty()) return std::nullopt;
  return out;
}

std::optional<std::string> extensionOf(const std::string& name) {
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return std::nullopt;
  if (name.find_first_of("\\:", dot) != std::string::npos) return std::nullopt;
  return name.substr(dot);
}

int imageIndexFor(char kind, const std::string& name) {
  if (kind != '2') return kFolderImage;
  const auto ext = extensionOf(name);
  return ext && (*ext == ".avi" || *ext == ".mp4") ? kVideoImage : kDocumentImage;
}

std::string fullDevicePath(const std::string& path, const std::string& name) {
  return path.empty() ? kStorageRoot + "/" + name : kStorageRoot + "/" + path + "/" + name;
}

std::string relativePathOf(const std::string& fullPath) {
  return fullPath.size() > kStoragePrefixLength ? fullPath.substr(kStoragePrefixLength)
                                                : std::string();
}

std::string addressBoxText(const std::string& relativePath) {
  return relativePath.empty() ? kStorageRoot : kStorageRoot + "/" + relativePath;
}

std::string parentDirOf(const std::string& directory) { return cutLastComponent(directory); }

std::string uncheckedPathFor(const std::string& targetPath, unsigned serial) {
  return targetPath + ".unchecked-" + std::to_string(serial) + ".tmp";
}

bool isSideFileOf(const std::string& entry, const std::string& receiveName) {
  constexpr std::size_t kRandomDigits = 12;
  const std::string suffix = ".part";
  if (entry.size() != receiveName.size() + 1 + kRandomDigits + suffix.size()) return false;
  if (entry.compare(0, receiveName.size(), receiveName) != 0 || entry[receiveName.size()] != '.')
    return false;
  if (entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
  return std::all_of(entry.begin() + static_cast<std::ptrdiff_t>(receiveName.size() + 1),
                     entry.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

int32_t listingRequestCode(const std::string& path, int32_t code) {
  return path.empty() ? KESTRUM_REQ_LIST_ROOT : code;
}

bool fitsPathField(const std::string& relativePath) {
  return relativePath.size() <= kMaxRemotePathLength;
}

int32_t downloadRequestCode(const std::string& caption, bool md5Ticked) {
  const auto ext = extensionOf(caption);
  const bool picture =
      ext && (*ext == ".jpg" || *ext == ".bmp" || *ext == ".png" || *ext == ".jpeg");
  return !picture && md5Ticked ? KESTRUM_REQ_GET_FILE_MD5 : KESTRUM_REQ_GET_FILE;
}

std::optional<std::string> downloadFileName(const std::string& remotePath) {
  const auto slash = remotePath.rfind('/');
  std::string name = slash == std::string::npos ? remotePath : remotePath.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  if (name.find(kLocalSeparator) != std::string::npos || name.find('\0') != std::string::npos)
    return std::nullopt;
  return name;
}

std::string downloadTargetPath(const std::string& folder, const std::string& fileName) {
  if (!folder.empty() && folder.back() == kLocalSeparator) return folder + fileName;
  return folder + kLocalSeparator + fileName;
}

}  // namespace remotefiles
