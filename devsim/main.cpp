// tovarin-devsim: runs a device lab world (and its update server) until
// interrupted.
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "camera_fleet.h"
#include "device_lab.h"
#include "lab_config.h"
#include "lab_signatures.h"
#include "update_server.h"

namespace {

const char* kUsage =
    "Usage: tovarin-devsim [options]\n"
    "Simulates the IP cameras of a world file on loopback addresses (TCP port 9001,\n"
    "discovery on UDP 10008) and serves the world's update server over HTTP.\n"
    "\n"
    "  --world FILE         world file (default: world/lab.ini beside this program, or the\n"
    "                       installed sample world)\n"
    "  --state DIR          writable copy of the devices' storage, kept at exit; the\n"
    "                       devices' folders in it must not exist yet (default: a fresh\n"
    "                       temporary folder, removed at exit)\n"
    "  --http ADDRESS:PORT  update server address (default 127.0.0.1:8080)\n"
    "  --no-http            do not serve the update server\n"
    "  --https              serve the update server over HTTPS (needs the two below)\n"
    "  --tls-cert FILE      its certificate, PEM (scripts/make-test-ca.sh makes a test one)\n"
    "  --tls-key FILE       its private key, PEM\n"
    "  --signatures MODE    the update server's signatures: lab (the world's key),\n"
    "                       none, or other_key (a key nobody trusts)\n"
    "  --reboot-ms N        how long a rebooting device stays offline (overrides the world)\n"
    "  --cameras N          a large site instead of the world's devices: N cameras\n"
    "                       CAM00001, CAM00002, ... modelled on the world's first device\n"
    "                       and sharing its storage folder\n"
    "  --first ADDRESS      address of the first of those cameras; the others follow it\n"
    "                       (default 127.0.1.1)\n"
    "  --behind-router      those cameras sit behind a router: they answer only probes\n"
    "                       sent to their own address (a range search), no broadcast\n"
    "  --help               this text\n"
    "\n"
    "Runs until interrupted (Ctrl+C). Binds 127.x.y.z addresses only.\n";

volatile sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

std::string defaultWorld() {
  char self[PATH_MAX] = {};
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::filesystem::path beside =
      std::filesystem::path(std::string(self, n > 0 ? static_cast<std::size_t>(n) : 0))
          .parent_path() /
      "world" / "lab.ini";
  if (std::filesystem::exists(beside)) return beside.string();
  // An installed lab keeps its world in share/, relative to the program.
  const std::filesystem::path installed =
      (beside.parent_path().parent_path() / TOVARIN_DEVSIM_INSTALLED_WORLD / "lab.ini")
          .lexically_normal();
  if (std::filesystem::exists(installed)) return installed.string();
  return TOVARIN_DEVSIM_SOURCE_WORLD;
}

bool splitHostPort(const std::string& text, std::string* host, int* port) {
  auto colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  *host = text.substr(0, colon);
  char* end = nullptr;
  long p = std::strtol(text.c_str() + colon + 1, &end, 10);
  if (*end || p < 1 || p > 65535) return false;
  *port = static_cast<int>(p);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string world = defaultWorld(), state, http = "127.0.0.1:8080", signatures;
  bool serveHttp = true, behindRouter = false, https = false;
  std::string tlsCert, tlsKey;
  long rebootMs = -1, cameras = 0;
  std::string firstCamera = "127.0.1.1";
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::cerr << arg << " needs a value\n" << kUsage;
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--world") {
      world = value();
    } else if (arg == "--state") {
      state = value();
    } else if (arg == "--http") {
      http = value();
    } else if (arg == "--signatures") {
      signatures = value();
      if (signatures != "lab" && signatures != "none" && signatures != "other_key") {
        std::cerr << "--signatures wants lab, none or other_key\n" << kUsage;
        return 2;
      }
    } else if (arg == "--no-http") {
      serveHttp = false;
    } else if (arg == "--https") {
      https = true;
    } else if (arg == "--tls-cert") {
      tlsCert = value();
    } else if (arg == "--tls-key") {
      tlsKey = value();
    } else if (arg == "--reboot-ms") {
      rebootMs = std::strtol(value().c_str(), nullptr, 10);
    } else if (arg == "--cameras") {
      cameras = std::strtol(value().c_str(), nullptr, 10);
      if (cameras < 1 || cameras > devsim::kMaxFleetCameras) {
        std::cerr << "--cameras wants 1 to " << devsim::kMaxFleetCameras << "\n";
        return 2;
      }
    } else if (arg == "--first") {
      firstCamera = value();
    } else if (arg == "--behind-router") {
      behindRouter = true;
    } else {
      std::cerr << "unknown option " << arg << "\n" << kUsage;
      return 2;
    }
  }

  if (https && (tlsCert.empty() || tlsKey.empty())) {
    std::cerr << "--https needs --tls-cert FILE and --tls-key FILE "
                 "(scripts/make-test-ca.sh DIR makes a test pair)\n";
    return 2;
  }

  devsim::LabConfig config;
  std::string error;
  if (!devsim::loadLabConfig(world, &config, &error)) {
    std::cerr << "tovarin-devsim: " << error << "\n";
    return 1;
  }
  if (!state.empty()) config.stateDir = state;
  if (rebootMs >= 0) config.rebootSeconds = static_cast<double>(rebootMs) / 1000.0;
  if (cameras > 0) {
    devsim::DeviceConfig model = config.devices.front();
    model.behindRouter = behindRouter;
    config.devices.clear();
    if (!devsim::addCameraFleet(&config, model, static_cast<int>(cameras), firstCamera, &error)) {
      std::cerr << "tovarin-devsim: " << error << "\n";
      return 2;
    }
  }

  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  devsim::DeviceLab lab(config);
  if (!lab.start(&error)) {
    std::cerr << "tovarin-devsim: " << error << "\n";
    return 1;
  }
  if (cameras > 0)
    std::cout << cameras << " cameras " << config.devices.front().identifier << " to "
              << config.devices.back().identifier << " at " << config.devices.front().address
              << " to " << config.devices.back().address << "\n";
  for (const auto& d : config.devices)
    if (cameras == 0)
      std::cout << "device " << d.identifier << " at " << d.address << ":" << config.tcpPort
                << " hardware " << d.hardware << " version " << d.version << "\n";
  std::cout << "state folder " << lab.stateDir() << "\n";

  std::unique_ptr<devsim::UpdateServer> server;
  if (serveHttp) {
    std::string host;
    int port = 0;
    std::string root = config.httpRoot.empty()
                           ? (std::filesystem::path(world).parent_path() / "updateserver").string()
                           : config.httpRoot;
    if (!splitHostPort(http, &host, &port)) {
      std::cerr << "tovarin-devsim: --http wants ADDRESS:PORT\n";
      return 2;
    }
    server = std::make_unique<devsim::UpdateServer>(root, host, port);
    const devsim::HttpFaults& faults = config.httpFaults;
    server->failPathsStartingWith(faults.failPrefix, faults.failStatus);
    server->setResponseDelay(faults.delay);
    if (faults.cutAfterBytes) server->cutBodiesAfter(faults.cutAfterBytes);
    server->corruptFiles(faults.corruptFiles);
    server->cutFilesOnceAtHalf(faults.cutOnceAtHalf);
    if (https) server->useTls(tlsCert, tlsKey);
    devsim::UpdateServer::Signer signer;
    if (!devsim::labSigner(signatures.empty() ? config.signatures : signatures, config.signingKey,
                           &signer, &error)) {
      std::cerr << "tovarin-devsim: signing key: " << error << "\n";
      return 1;
    }
    server->signFilesWith(signer);
    if (!server->start(&error)) {
      std::cerr << "tovarin-devsim: update server: " << error << "\n";
      return 1;
    }
    std::cout << "update server " << (https ? "https://" : "http://") << http << "/ serving "
              << root << "\n";
  }
  std::cout.flush();

  while (!g_stop) ::pause();
  if (server) server->stop();
  lab.stop();
  return 0;
}
