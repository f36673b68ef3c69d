// Transfers started by SearchDir. Each gets a process-wide unique 16-bit id
// (whatever id the caller passed in), so that many downloads that all start
// from the same id value can run and be stopped one by one.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace kestrum {

// Written back by SearchDir when it hands out no transfer; never a real id.
constexpr std::uint16_t kNoTransferId = 0;

enum class TransferKind { Listing, File, FileWithMd5 };

struct Transfer {
  std::uint16_t id = 0;
  std::int32_t handle = 0;
  TransferKind kind = TransferKind::Listing;
  std::atomic<bool> cancelled{false};
  // Progress of the reply, changed only by the thread that drives the transfer.
  std::mutex mutex;
  bool listingEnded = false;
  bool sizeKnown = false;  // the device announced the file; its bytes follow
  bool fileDone = false;   // every byte of the file was consumed
  std::uint64_t size = 0;
};

// Registers a new transfer on handle; forgets earlier transfers of that
// handle, whose replies a new request replaces.
std::shared_ptr<Transfer> startTransfer(std::int32_t handle, TransferKind kind);
std::shared_ptr<Transfer> findTransfer(std::uint16_t id);
// Cancels the transfer and forgets it; returns it (or null) so the caller
// can tidy up its connection.
std::shared_ptr<Transfer> stopTransfer(std::uint16_t id);
void forgetTransfersOf(std::int32_t handle);

}  // namespace kestrum
