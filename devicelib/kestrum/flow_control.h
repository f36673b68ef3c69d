// The download speed limit set by FlowCtrl: one token bucket shared by all
// running downloads. A limit of 0 (or less) means no limit.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace kestrum {

void setSpeedLimit(std::int32_t kbPerSecond);

// Largest piece a download should ask for at once under the current limit,
// so that the bucket is refilled smoothly (a tenth of a second's worth).
std::size_t flowChunkSize(std::size_t bufferSize);

// Blocks until bytes may be received under the limit, or until cancel is
// set. Returns at once when there is no limit.
void acquireBandwidth(std::size_t bytes, const std::atomic<bool>* cancel);

}  // namespace kestrum
