// One file of a patch as the device library asks for it while MakePatch
// runs: its name, and its path in comma-text form, each copied into a buffer
// whose size the library fixes.
#pragma once

#include <cstddef>
#include <string>

// The path itself, or, when it holds a space, a comma, a double quote or a
// control character, the path in double quotes with inner quotes doubled.
std::string commaTextOf(const std::string& path);

struct FileToPatch {
  std::string name;  // the file name without its folder
  std::string path;  // the full path
};

// Whether the name and the comma text of the path, each with its NUL, fit
// buffers of these sizes. A file that does not fit must not be handed out:
// a cut path would name another file or none.
bool fitsBuffers(const FileToPatch& file, std::size_t nameSize, std::size_t infoSize);

// Writes the name and the comma text, each whole with its NUL. A text that
// does not fit is never cut: its buffer gets an empty text instead.
void writeFileToPatch(const FileToPatch& file, char* name, std::size_t nameSize, char* info,
                      std::size_t infoSize);
