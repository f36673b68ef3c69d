// A lab camera for end-to-end tests, with an empty storage folder of its own.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "lab_config.h"

struct LabCamera {
  std::string identifier, address, hardware = "47RKT";
  int version = 2010;
  int previousVersion = 0;
  std::vector<std::pair<std::string, std::string>> accounts = {{"admin", ""}};

  devsim::DeviceConfig config(const std::filesystem::path& templates) const {
    devsim::DeviceConfig d;
    d.identifier = identifier;
    d.address = address;
    d.hardware = hardware;
    d.version = version;
    d.previousVersion = previousVersion;
    d.accounts = accounts;
    d.storageTemplate = (templates / identifier / "sdcard").string();
    std::filesystem::create_directories(d.storageTemplate);
    return d;
  }
};
