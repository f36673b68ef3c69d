// The device's storage as its requests see it: paths relative to "/sdcard"
// that may never leave that folder, and directory listings.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace devsim {

// Joins a request path to root. False for a path that is absolute, holds a
// ".." component or a zero byte, or leads outside root through a link.
bool resolveInside(const std::string& root, const std::string& relative, std::string* resolved);

struct ListEntry {
  char kind;         // '1' directory, '2' file
  std::string name;  // whole name; the protocol cuts it to 47 bytes
};

// Entries of a directory sorted by name; other kinds of entry are left out.
bool listDirectory(const std::string& directory, std::size_t maxEntries,
                   std::vector<ListEntry>* entries);

// True for a name that is safe as a single file name: not empty, not "." or
// "..", no slash and no zero byte.
bool isPlainName(const std::string& name);

}  // namespace devsim
