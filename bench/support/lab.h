// Pieces shared by the benchmarks that talk to the device lab: the lab
// device they use and the plain TCP copies they are measured against.
#pragma once

#include <string>

#include "device_lab.h"

namespace bench {

// One lab device "BENCH" at 127.0.0.2 whose storage template is folder.
devsim::DeviceConfig benchDevice(const std::string& storageTemplate);

// Plain TCP copy of source over 127.0.0.60 into target: a sender thread that
// reads and sends through a 256 KiB buffer, a receiver that writes the same
// way. The reference for downloads, where the receiver only stores bytes.
void plainTcpCopy(const std::string& source, const std::string& target);

// The same copy with a receiver that does what a lab camera does with an
// uploaded patch: every received block is written to target and added to an
// MD5 digest. Returns the digest's 32 hex digits.
std::string hashingTcpCopy(const std::string& source, const std::string& target);

}  // namespace bench
