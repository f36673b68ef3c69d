// A catalogue's file name becomes an entry name in the patch and a word in
// the install script that the camera runs as a shell script
// ("cp -f /tmp/NAME /mnt/mtd/"). Only plain names are let through, so that
// a name can neither run a command on the camera nor reach another folder.
#pragma once

#include <string>

// The longest name that keeps its terminating zero in the patch's 56-byte
// entry name field.
constexpr std::size_t kMaxCatalogueNameBytes = 55;

// Letters, digits, '.', '_' and '-' only; not empty, not "." or "..".
bool isShellSafeFileName(const std::string& name);

// A shell-safe name of at most kMaxCatalogueNameBytes bytes.
bool isPlainCatalogueName(const std::string& name);
