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
#include <optional>
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

// What the command line asks for.
struct LabOptions {
  std::string world = defaultWorld();
  std::string state;
  std::string http = "127.0.0.1:8080";
  std::string signatures;  // empty: the world's choice
  bool serveHttp = true;
  bool behindRouter = false;
  bool https = false;
  std::string tlsCert, tlsKey;
  long rebootMs = -1;  // -1: the world's
  long cameras = 0;    // 0: the world's devices
  std::string firstCamera = "127.0.1.1";
};

// Reads the command line into o; an exit status when the program ends here
// (--help, or an option it cannot use, said on standard error).
std::optional<int> parseOptions(int argc, char** argv, LabOptions& o) {
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
      o.world = value();
    } else if (arg == "--state") {
      o.state = value();
    } else if (arg == "--http") {
      o.http = value();
    } else if (arg == "--signatures") {
      o.signatures = value();
      if (o.signatures != "lab" && o.signatures != "none" && o.signatures != "other_key") {
        std::cerr << "--signatures wants lab, none or other_key\n" << kUsage;
        return 2;
      }
    } else if (arg == "--no-http") {
      o.serveHttp = false;
    } else if (arg == "--https") {
      o.https = true;
    } else if (arg == "--tls-cert") {
      o.tlsCert = value();
    } else if (arg == "--tls-key") {
      o.tlsKey = value();
    } else if (arg == "--reboot-ms") {
      o.rebootMs = std::strtol(value().c_str(), nullptr, 10);
    } else if (arg == "--cameras") {
      o.cameras = std::strtol(value().c_str(), nullptr, 10);
      if (o.cameras < 1 || o.cameras > devsim::kMaxFleetCameras) {
        std::cerr << "--cameras wants 1 to " << devsim::kMaxFleetCameras << "\n";
        return 2;
      }
    } else if (arg == "--first") {
      o.firstCamera = value();
    } else if (arg == "--behind-router") {
      o.behindRouter = true;
    } else {
      std::cerr << "unknown option " << arg << "\n" << kUsage;
      return 2;
    }
  }
  if (o.https && (o.tlsCert.empty() || o.tlsKey.empty())) {
    std::cerr << "--https needs --tls-cert FILE and --tls-key FILE "
                 "(scripts/make-test-ca.sh DIR makes a test pair)\n";
    return 2;
  }
  return std::nullopt;
}

// The world file with the command line's changes; an exit status when it
// cannot be used.
std::optional<int> loadWorld(const LabOptions& o, devsim::LabConfig& config) {
  std::string error;
  if (!devsim::loadLabConfig(o.world, &config, &error)) {
    std::cerr << "tovarin-devsim: " << error << "\n";
    return 1;
  }
  if (!o.state.empty()) config.stateDir = o.state;
  if (o.rebootMs >= 0) config.rebootSeconds = static_cast<double>(o.rebootMs) / 1000.0;
  if (o.cameras > 0) {
    devsim::DeviceConfig model = config.devices.front();
    model.behindRouter = o.behindRouter;
    config.devices.clear();
    if (!devsim::addCameraFleet(&config, model, static_cast<int>(o.cameras), o.firstCamera,
                                &error)) {
      std::cerr << "tovarin-devsim: " << error << "\n";
      return 2;
    }
  }
  return std::nullopt;
}

// Ctrl+C and a termination request end the run; a closed peer does not.
void catchStopSignals() {
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

void announceDevices(const LabOptions& o, const devsim::LabConfig& config,
                     const devsim::DeviceLab& lab) {
  if (o.cameras > 0)
    std::cout << o.cameras << " cameras " << config.devices.front().identifier << " to "
              << config.devices.back().identifier << " at " << config.devices.front().address
              << " to " << config.devices.back().address << "\n";
  for (const auto& d : config.devices)
    if (o.cameras == 0)
      std::cout << "device " << d.identifier << " at " << d.address << ":" << config.tcpPort
                << " hardware " << d.hardware << " version " << d.version << "\n";
  std::cout << "state folder " << lab.stateDir() << "\n";
}

// Starts the world's update server with its faults and signatures; an exit
// status when it cannot serve.
std::optional<int> startUpdateServer(const LabOptions& o, const devsim::LabConfig& config,
                                     std::unique_ptr<devsim::UpdateServer>& server) {
  std::string host, error;
  int port = 0;
  std::string root = config.httpRoot.empty()
                         ? (std::filesystem::path(o.world).parent_path() / "updateserver").string()
                         : config.httpRoot;
  if (!splitHostPort(o.http, &host, &port)) {
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
  if (o.https) server->useTls(o.tlsCert, o.tlsKey);
  devsim::UpdateServer::Signer signer;
  if (!devsim::labSigner(o.signatures.empty() ? config.signatures : o.signatures, config.signingKey,
                         &signer, &error)) {
    std::cerr << "tovarin-devsim: signing key: " << error << "\n";
    return 1;
  }
  server->signFilesWith(signer);
  if (!server->start(&error)) {
    std::cerr << "tovarin-devsim: update server: " << error << "\n";
    return 1;
  }
  std::cout << "update server " << (o.https ? "https://" : "http://") << o.http << "/ serving "
            << root << "\n";
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  LabOptions options;
  if (const std::optional<int> done = parseOptions(argc, argv, options)) return *done;
  devsim::LabConfig config;
  if (const std::optional<int> failed = loadWorld(options, config)) return *failed;
  catchStopSignals();

  devsim::DeviceLab lab(config);
  std::string error;
  if (!lab.start(&error)) {
    std::cerr << "tovarin-devsim: " << error << "\n";
    return 1;
  }
  announceDevices(options, config, lab);
  std::unique_ptr<devsim::UpdateServer> server;
  if (options.serveHttp) {
    if (const std::optional<int> failed = startUpdateServer(options, config, server))
      return *failed;
  }
  std::cout.flush();

  while (!g_stop) ::pause();
  if (server) server->stop();
  lab.stop();
  return 0;
}
