#include "devicelink/device_results.h"

#include "kestrum.h"

bool isUnreachable(std::int32_t result) {
  return result == KESTRUM_FAIL_CONNECTION || result == KESTRUM_FAIL_TIMEOUT;
}

SendOutcome decodeSendResult(std::int32_t result) {
  if (result == KESTRUM_SEND_HARDWARE_MISMATCH) return SendOutcome::HardwareMismatch;
  if (result == KESTRUM_SEND_BUSY) return SendOutcome::Busy;
  if (result < 0) return SendOutcome::Failed;
  if (result == KESTRUM_SEND_DELIVERED) return SendOutcome::Delivered;
  if (result > KESTRUM_SEND_DELIVERED) return SendOutcome::Installed;
  return SendOutcome::Unknown;
}
