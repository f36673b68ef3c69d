#include "callbacks.h"

#include <atomic>

namespace {
std::atomic<kestrum_curprogress_fn> g_curProgress{nullptr};
std::atomic<kestrum_getfile2patch_fn> g_getFile2Patch{nullptr};
}  // namespace

namespace kestrum {

kestrum_curprogress_fn curProgressCallback() { return g_curProgress.load(); }
kestrum_getfile2patch_fn getFile2PatchCallback() { return g_getFile2Patch.load(); }

void reportProgress(int32_t value, uint16_t channel) {
  if (auto fn = g_curProgress.load()) fn(value, channel);
}

}  // namespace kestrum

extern "C" {
KESTRUM_API void set_callback_curprogress(kestrum_curprogress_fn callback) {
  g_curProgress.store(callback);
}
KESTRUM_API void set_callback_getfile2patch(kestrum_getfile2patch_fn callback) {
  g_getFile2Patch.store(callback);
}
}
