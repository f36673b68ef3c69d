// Device discovery state: the search result's records as the window lists
// them, and the device chosen from that list.
#include "session/discovery.h"

#include <atomic>
#include <cstddef>
#include <cstring>

namespace {
std::atomic<int> g_searchWorkers{0};

static_assert(offsetof(DeviceSearchRecord, address) == 128);
static_assert(offsetof(DeviceSearchRecord, identifier) == 248);
static_assert(offsetof(DeviceSearchRecord, next) == LORVEX_RECORD_DATA_SIZE);
}  // namespace

bool deviceSearchRunning() { return g_searchWorkers.load() > 0; }
void searchWorkerStarted() { ++g_searchWorkers; }
void searchWorkerEnded() { --g_searchWorkers; }

QString recordField(const char* field, std::size_t width) {
  const void* zero = std::memchr(field, 0, width);
  const std::size_t length = zero ? static_cast<const char*>(zero) - field : width;
  return QString::fromUtf8(field, static_cast<qsizetype>(length));
}

QString deviceNodeText(const DeviceSearchRecord& record) {
  return "QJ" + recordField(record.identifier, sizeof record.identifier);
}

QString ChosenDevice::address() const {
  return recordField(data.data() + offsetof(DeviceSearchRecord, address), 32);
}

QString ChosenDevice::identifier() const {
  return recordField(data.data() + offsetof(DeviceSearchRecord, identifier), 128);
}

bool chooseDeviceAt(const DeviceSearchRecord* first, int position, const QString& nodeText,
                    ChosenDevice& chosen) {
  if (position < 0) return false;
  const DeviceSearchRecord* r = first;
  for (int i = 0; r && i < position; ++i) r = r->next;
  if (!r || deviceNodeText(*r) != nodeText) return false;
  chosen.data.fill(0);
  std::memcpy(chosen.data.data(), r, LORVEX_RECORD_DATA_SIZE);
  return true;
}
