// Device discovery: the search result's records as the window lists them,
// and the device chosen from that list (both kept in AppState).
#pragma once

#include <QString>
#include <array>

#include "lorvex.h"

// Whether a search worker is still running (it may touch the window and the
// device link until it ends).
bool deviceSearchRunning();
// Counted on the window's thread as a search worker starts and ends.
void searchWorkerStarted();
void searchWorkerEnded();

// Text of a fixed-width field: up to its first zero byte, or the whole field.
QString recordField(const char* field, std::size_t width);
// The tree text of a record: "QJ" followed by its identifier.
QString deviceNodeText(const DeviceSearchRecord& record);

// The 376 data bytes of the device chosen by the last double-click.
struct ChosenDevice {
  std::array<char, LORVEX_RECORD_DATA_SIZE> data{};
  QString address() const;
  QString identifier() const;
};

// Takes the record at `position` in the search result starting at `first`
// (the tree lists the records in order), provided its tree text is still
// nodeText: copies it into `chosen` and returns true. Texts alone cannot tell devices apart,
// as different identifiers can decode to the same text.
bool chooseDeviceAt(const DeviceSearchRecord* first, int position, const QString& nodeText,
                    ChosenDevice& chosen);
