// Device discovery: the search result's records as the window lists them,
// and the device chosen from that list (both kept in AppState).
#pragma once

#include <QString>
#include <array>
#include <string_view>

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
// (Also the copy the device list keeps of each camera's record.)
struct ChosenDevice {
  std::array<char, LORVEX_RECORD_DATA_SIZE> data{};
  QString address() const;
  QString identifier() const;
  // The fields' bytes up to their first zero byte. Texts alone cannot tell
  // cameras apart, as different identifiers can decode to the same text.
  std::string_view addressBytes() const;
  std::string_view identifierBytes() const;
  // The tree text: "QJ" followed by the identifier.
  QString nodeText() const { return "QJ" + identifier(); }

  static ChosenDevice copyOf(const DeviceSearchRecord& record);
};
