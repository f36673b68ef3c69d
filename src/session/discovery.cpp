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

namespace {

std::string_view fieldBytes(const char* field, std::size_t width) {
  const void* zero = std::memchr(field, 0, width);
  return {field, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : width};
}

}  // namespace

std::string_view ChosenDevice::addressBytes() const {
  return fieldBytes(data.data() + offsetof(DeviceSearchRecord, address), 32);
}

std::string_view ChosenDevice::identifierBytes() const {
  return fieldBytes(data.data() + offsetof(DeviceSearchRecord, identifier), 128);
}

ChosenDevice ChosenDevice::copyOf(const DeviceSearchRecord& record) {
  ChosenDevice copy;
  std::memcpy(copy.data.data(), &record, LORVEX_RECORD_DATA_SIZE);
  return copy;
}
