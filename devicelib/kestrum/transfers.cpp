#include "transfers.h"

#include <map>

namespace kestrum {

namespace {
std::mutex g_mutex;
std::map<std::uint16_t, std::shared_ptr<Transfer>> g_transfers;
std::uint16_t g_lastId = 0;

// Callers fill the id with 1 (listings, downloads) or 6 (commands) before
// SearchDir; a caller whose request failed may still pass that default to
// StopRecvFile. Never handing out those values (nor 0, the "no transfer"
// value written back on failure) means such a stop can never cancel
// somebody else's transfer.
bool isIssuableId(std::uint16_t id) { return id != kNoTransferId && id != 1 && id != 6; }

void forgetLocked(std::int32_t handle) {
  for (auto it = g_transfers.begin(); it != g_transfers.end();) {
    if (it->second->handle == handle) {
      it->second->cancelled = true;
      it = g_transfers.erase(it);
    } else {
      ++it;
    }
  }
}
}  // namespace

std::shared_ptr<Transfer> startTransfer(std::int32_t handle, TransferKind kind) {
  auto t = std::make_shared<Transfer>();
  t->handle = handle;
  t->kind = kind;
  std::lock_guard lock(g_mutex);
  forgetLocked(handle);
  if (g_transfers.size() >= 0xfff0) return nullptr;  // never in practice; keeps the loop finite
  do {
    g_lastId = static_cast<std::uint16_t>(g_lastId + 1);
  } while (!isIssuableId(g_lastId) || g_transfers.count(g_lastId));
  t->id = g_lastId;
  g_transfers[t->id] = t;
  return t;
}

std::shared_ptr<Transfer> findTransfer(std::uint16_t id) {
  std::lock_guard lock(g_mutex);
  auto it = g_transfers.find(id);
  return it == g_transfers.end() ? nullptr : it->second;
}

std::shared_ptr<Transfer> stopTransfer(std::uint16_t id) {
  std::lock_guard lock(g_mutex);
  auto it = g_transfers.find(id);
  if (it == g_transfers.end()) return nullptr;
  auto t = std::move(it->second);
  g_transfers.erase(it);
  t->cancelled = true;
  return t;
}

void forgetTransfersOf(std::int32_t handle) {
  std::lock_guard lock(g_mutex);
  forgetLocked(handle);
}

}  // namespace kestrum
