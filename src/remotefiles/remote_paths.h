// The file page's rules that need no window: reading listing replies, the
// icon of an entry, device paths, the Up rule, download request codes and
// the local name of a download.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "kestrum.h"

namespace remotefiles {

inline const std::string kStorageRoot = "/sdcard";
constexpr std::size_t kStoragePrefixLength = 8;  // "/sdcard/"

// The path fields of the listing worker and of a mission: 260 bytes, of which
// the worker reads at most 257 characters.
constexpr std::size_t kPathFieldSize = 260;
constexpr std::size_t kMaxRemotePathLength = 257;

// One listing reply as the device library writes it.
constexpr std::size_t kEntrySize = KESTRUM_LIST_ENTRY_SIZE;
constexpr std::size_t kReplyBufferSize = KESTRUM_LIST_BUFFER_SIZE;
constexpr int kMaxReplyEntries = KESTRUM_LIST_MAX_ENTRIES;

// Pictures of TovarinImages_ImageList.
constexpr int kFolderImage = 0;
constexpr int kVideoImage = 1;
constexpr int kDocumentImage = 2;

struct RemoteDirEntry {
  char kind = 0;  // '1' directory, '2' file, anything else shown as a directory
  std::string name;
};

// How many entries of a reply to read: the library's count, kept within
// what the reply buffer holds (a negative count reads none).
int boundedEntryCount(int32_t count);

// The entry at `index` of a reply buffer; nothing when it is to be skipped
// (kind 0x00 or an empty name). The name ends at the first 0x00 byte or after
// kEntrySize - 1 bytes.
std::optional<RemoteDirEntry> entryAt(const char* buffer, int index);

// The extension: the text from the last dot to the end, provided neither a
// backslash nor a colon follows that dot. The slash plays no part.
std::optional<std::string> extensionOf(const std::string& name);

// The icon of an entry: folder for kind '1' and unknown kinds; for kind '2'
// video for exactly ".avi"/".mp4", else document.
int imageIndexFor(char kind, const std::string& name);

// The entry's full device path: "/sdcard/" + path + "/" + name, or
// "/sdcard/" + name at the root.
std::string fullDevicePath(const std::string& path, const std::string& name);

// A full device path without its "/sdcard/" prefix (its first 8 characters).
std::string relativePathOf(const std::string& fullPath);

// What the address box shows for a path relative to "/sdcard/".
std::string addressBoxText(const std::string& relativePath);

// The parent of a directory relative to "/sdcard/": exactly one component
// cut, whatever dots the names hold ("" for a directory of the root).
std::string parentDirOf(const std::string& directory);

// An empty path always lists the root, whatever code was set.
int32_t listingRequestCode(const std::string& path, int32_t code);

// Whether a path fits the 260-byte fields without being cut.
bool fitsPathField(const std::string& relativePath);

// The local file a mission receives a checked download into: beside the
// target, so that a file whose digest does not match never has its name.
std::string uncheckedPathFor(const std::string& targetPath, unsigned serial);

// Whether `entry` (a file name) is the device library's side file of a
// download into `receivePath`'s name: "<name>.<12 hex digits>.part".
bool isSideFileOf(const std::string& entry, const std::string& receiveName);

// Code 4 for pictures (".jpg", ".bmp", ".png", ".jpeg", case-sensitive) or
// without the MD5 box ticked, else 5.
int32_t downloadRequestCode(const std::string& caption, bool md5Ticked);

// The local file name of a download: the remote path's last component.
// Nothing when that name could leave the download folder or name it (empty,
// ".", "..", or holding the local separator or a NUL).
std::optional<std::string> downloadFileName(const std::string& remotePath);

// The download folder joined with a file name by the local separator.
std::string downloadTargetPath(const std::string& folder, const std::string& fileName);

}  // namespace remotefiles
