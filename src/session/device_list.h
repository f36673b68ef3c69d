// The device list as the login panel keeps it from one search to the next:
// every camera keeps its place while searches come and go, so that the node
// under the pointer is still the camera the operator means.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "session/discovery.h"

struct ListedDevice {
  // The data bytes of the camera's record as last heard.
  ChosenDevice record;
  // It answered the latest search. A camera that did not (rebooting, or
  // gone) stays in its place, marked, until it answers again.
  bool answered = true;
  // Another camera that answered the latest search gives the same identifier.
  bool identifierClash = false;
};

// The list after a search whose result starts at `first`. A listed camera
// that answered (same identifier bytes and same address) is updated in its
// place; one that did not is marked; cameras heard for the first time
// follow at the end, in the order the search found them. Each record is
// taken once, so two records of one camera give two entries.
std::vector<ListedDevice> mergeSearchResult(std::vector<ListedDevice> listed,
                                            const DeviceSearchRecord* first);

// The addresses of the other answering cameras that give the identifier of
// entry `index`, in list order; empty when it has none.
QStringList sameIdentifierAddresses(const std::vector<ListedDevice>& listed, std::size_t index);

// How many listed cameras did not answer the latest search.
int unansweredCount(const std::vector<ListedDevice>& listed);
