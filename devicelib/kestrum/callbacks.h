// The two callbacks registered with set_callback_curprogress and
// set_callback_getfile2patch, readable from every part of the library.
#pragma once

#include "kestrum.h"

namespace kestrum {

kestrum_curprogress_fn curProgressCallback();
kestrum_getfile2patch_fn getFile2PatchCallback();

// Calls the progress callback when one is registered.
void reportProgress(int32_t value, uint16_t channel);

}  // namespace kestrum
