// Maps a request path onto a file inside the served folder, refusing
// everything that could reach outside it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace devsim {

// `root` must be canonical (absolute, no symbolic links). `urlPath` is the
// request's decoded path. Returns the file's canonical path only when it is
// a regular file that lies inside root after every symbolic link has been
// followed; a ".." segment, a backslash or a NUL byte is refused outright.
std::optional<std::filesystem::path> resolveServedFile(const std::filesystem::path& root,
                                                       const std::string& urlPath);

}  // namespace devsim
