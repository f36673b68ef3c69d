#include "session/device_list.h"

#include <algorithm>

namespace {

bool sameCamera(const ChosenDevice& a, const ChosenDevice& b) {
  return a.identifierBytes() == b.identifierBytes() && a.addressBytes() == b.addressBytes();
}

}  // namespace

std::vector<ListedDevice> mergeSearchResult(std::vector<ListedDevice> listed,
                                            const DeviceSearchRecord* first) {
  const std::size_t before = listed.size();
  std::vector<bool> heard(before, false);
  for (const DeviceSearchRecord* r = first; r; r = r->next) {
    const ChosenDevice record = ChosenDevice::copyOf(*r);
    std::size_t i = 0;
    while (i < before && (heard[i] || !sameCamera(listed[i].record, record))) ++i;
    if (i < before) {
      heard[i] = true;
      listed[i].record = record;
    } else {
      listed.push_back({record, true, false});
    }
  }
  for (std::size_t i = 0; i < before; ++i) listed[i].answered = heard[i];
  for (std::size_t i = 0; i < listed.size(); ++i)
    listed[i].identifierClash = !sameIdentifierAddresses(listed, i).isEmpty();
  return listed;
}

QStringList sameIdentifierAddresses(const std::vector<ListedDevice>& listed, std::size_t index) {
  QStringList others;
  const ChosenDevice& own = listed.at(index).record;
  if (!listed[index].answered) return others;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const ChosenDevice& other = listed[i].record;
    if (i == index || !listed[i].answered || other.identifierBytes() != own.identifierBytes() ||
        other.addressBytes() == own.addressBytes())
      continue;
    if (!others.contains(other.address())) others << other.address();
  }
  return others;
}

int unansweredCount(const std::vector<ListedDevice>& listed) {
  return static_cast<int>(std::count_if(listed.begin(), listed.end(),
                                        [](const ListedDevice& d) { return !d.answered; }));
}
