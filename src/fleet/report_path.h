// The --json report's path, checked before any camera is touched so that a
// report is never lost at the end of a long rollout. The report itself is
// written at the end with replaceFileContents: whole or not at all.
#pragma once

#include <string>

// Empty when a report can be written at path, else why not: a link, not a
// regular file, or a file or folder this user cannot write.
std::string reportPathRefusal(const std::string& path);
