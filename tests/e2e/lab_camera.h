// A lab camera for end-to-end tests, with an empty storage folder of its own,
// and the lab the online-update tests share.
#pragma once

#include <QString>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device_lab.h"
#include "lab_config.h"
#include "update_server.h"

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

// CAM0001A at 127.0.0.2 (47RKT, firmware 2010, a 0.3 s reboot) and the
// sample world's update server on a free port of 127.0.0.1, which offers
// that camera firmware 2011.
struct UpdateLab {
  static constexpr const char* kCamera = "127.0.0.2";
  inline static const std::filesystem::path kServed =
      std::filesystem::path(TOVARIN_WORLD_SOURCE) / "updateserver";

  std::unique_ptr<devsim::DeviceLab> lab;
  std::unique_ptr<devsim::UpdateServer> server;

  // The camera, its storage template below templates.
  bool startLab(const std::filesystem::path& templates, std::string* error) {
    devsim::LabConfig config;
    config.devices = {LabCamera{"CAM0001A", kCamera}.config(templates)};
    config.rebootSeconds = 0.3;
    lab = std::make_unique<devsim::DeviceLab>(config);
    return lab->start(error);
  }
  // Over HTTPS when certificates names a folder with server.pem and server.key.
  bool startServer(std::string* error, const std::filesystem::path& certificates = {}) {
    server = std::make_unique<devsim::UpdateServer>(kServed.string(), "127.0.0.1", 0);
    if (!certificates.empty())
      server->useTls((certificates / "server.pem").string(),
                     (certificates / "server.key").string());
    https_ = !certificates.empty();
    return server->start(error);
  }
  // The address the window is given for the server.
  QString serverAddress() const {
    return (https_ ? QString("https://") : QString()) + QString("127.0.0.1:%1").arg(server->port());
  }
  devsim::Device& camera() { return *lab->device("CAM0001A"); }
  void stop() {
    if (server) server->stop();
    server.reset();
    if (lab) lab->stop();
    lab.reset();
  }

 private:
  bool https_ = false;
};
