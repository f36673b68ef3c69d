// File attributes that only some platforms have.
#pragma once

#include <filesystem>
#include <string_view>

// Gives the file the hidden attribute, keeping its other attributes. Here
// files are hidden by a leading dot in their name, which would change the name
// the program looks for, so this does nothing; failures are never reported.
void setHiddenAttribute(const std::filesystem::path& file);

// Whether the platform can name a file or folder by this path at all (its
// path-length limit; there is no shorter one here).
bool pathFitsPlatform(std::string_view path);
