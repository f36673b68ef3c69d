// Indexes of the patch maker's entries in the PatchMaker message list.
#pragma once

namespace pmmsg {
inline constexpr int kNoFilesToPatch = 0;  // Make with an empty file list
inline constexpr int kNoNewVersion = 1;    // Make with the new version 00.00.00.00
inline constexpr int kPatchWrittenTo = 2;  // the result note; %1 is the patch's path
}  // namespace pmmsg
