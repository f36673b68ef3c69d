// Replacing a small file as a whole: the new bytes go to a fresh file in the
// same folder, which is flushed to disk and then renamed over the old one, so
// a full disk or a crash leaves either the old file or the new one, never a
// mix of the two.
#pragma once

#include <filesystem>
#include <string_view>

// False when the bytes could not be written in full; the old file (if any) is
// then left byte for byte as it was. A file that exists but refuses writes, or
// is not a regular file, is refused without touching it.
bool replaceFileContents(const std::filesystem::path& file, std::string_view bytes);
