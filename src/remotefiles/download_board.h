// What the file page keeps about its download missions between events: the
// speed of each slot's download and the notices waiting to be shown.
#pragma once

#include <array>

#include "remotefiles/mission_report.h"
#include "remotefiles/transfer_rate.h"

struct DownloadBoard {
  static constexpr int kSlots = 9;
  std::array<remotefiles::TransferRate, kSlots> rates;
  remotefiles::MissionNotices notices;
  // A notice box is up: later results wait and follow it.
  bool noticeShowing = false;
};
