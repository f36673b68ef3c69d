// tovarin-fleet run as an operator runs it, against a lab world of many
// cameras: some good, some that fail each in its own way. Every good camera
// must end confirmed on the new version (the lab is asked, not the report),
// each bad one reported with its own reason, and the run must end in time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "device_lab.h"
#include "lab_config.h"
#include "lab_signatures.h"
#include "patchformat.h"
#include "update_server.h"

extern char** environ;

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

const fs::path kServed = fs::path(TOVARIN_WORLD_SOURCE) / "updateserver";
constexpr double kRunBoundSeconds = 90;

struct Camera {
  Camera(std::string id_, std::string hardware_ = "47RKT", int version_ = 2010,
         std::string extra_ = "")
      : id(std::move(id_)),
        hardware(std::move(hardware_)),
        version(version_),
        extra(std::move(extra_)) {}
  std::string id, hardware;
  int version;
  std::string extra;  // further world keys, one per line
};

// The world: the cameras at 127.0.3.1 onwards in the order given.
class FleetWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("fleet-e2e-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "sdcard");
  }
  void TearDown() override {
    if (lab_) lab_->stop();
    if (server_) server_->stop();
    fs::remove_all(dir_);
  }

  static std::string address(std::size_t i) { return "127.0.3." + std::to_string(i + 1); }

  // labKeys: further [lab] keys, one per line.
  void startLab(const std::vector<Camera>& cameras, const std::string& labKeys = "") {
    std::ofstream ini(dir_ / "lab.ini");
    ini << "[lab]\nreboot_ms = 400\n" << labKeys;
    for (std::size_t i = 0; i < cameras.size(); ++i) {
      const Camera& c = cameras[i];
      ini << "[device " << c.id << "]\naddress = " << address(i) << "\nhardware = " << c.hardware
          << "\nversion = " << c.version << "\nstorage = sdcard\n"
          << (c.extra.find("account.") == std::string::npos ? "account.admin =\n" : "") << c.extra
          << "\n";
    }
    ini.close();
    devsim::LabConfig config;
    std::string error;
    ASSERT_TRUE(devsim::loadLabConfig((dir_ / "lab.ini").string(), &config, &error)) << error;
    lab_ = std::make_unique<devsim::DeviceLab>(config);
    ASSERT_TRUE(lab_->start(&error)) << error;
    for (std::size_t i = 0; i < cameras.size(); ++i) index_[cameras[i].id] = i;
  }

  // A 47RKT patch for 2011 big enough to be cut off mid-upload.
  std::string makePatch() {
    const fs::path payload = dir_ / "app.bin";
    std::ofstream(payload) << std::string(300000, 'x');
    const std::string path = (dir_ / "47RKT2011.patch").string();
    std::string error;
    EXPECT_TRUE(patchformat::writePatch(path, "47RKT", 2011, {{"app.bin", payload.string()}},
                                        patchformat::buildInstallScript("2010", {"app.bin"}),
                                        &error))
        << error;
    return path;
  }

  struct Run {
    int status = -1;
    double seconds = 0;
    std::string output;
    std::string errors;
    Json report;
  };

  // Runs tovarin-fleet with the library's waits shortened, as a stalled
  // camera would otherwise hold its thread for the default 20 s twice.
  Run fleet(std::vector<std::string> args) {
    const std::string out = (dir_ / "out.txt").string(), report = (dir_ / "report.json").string();
    args.insert(args.begin(), fleetProgram_);
    const bool ownReport = std::find(args.begin(), args.end(), "--json") != args.end();
    if (args[1] == "update" && !ownReport)
      args.insert(args.end(), {"--json", report, "--reboot-wait", "20"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::setenv("KESTRUM_CALL_DEADLINE_MS", "3000", 1);
    ::setenv("KESTRUM_IO_TIMEOUT_MS", "3000", 1);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // Never a terminal to prompt on, and what goes to standard error is kept.
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, (dir_ / "err.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    Run run;
    EXPECT_EQ(0, posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ));
    posix_spawn_file_actions_destroy(&files);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (run.seconds > 2 * kRunBoundSeconds) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "tovarin-fleet did not end";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::stringstream text;
    text << std::ifstream(out).rdbuf();
    run.output = text.str();
    std::stringstream errors;
    errors << std::ifstream(dir_ / "err.txt").rdbuf();
    run.errors = errors.str();
    if (fs::exists(report)) run.report = Json::parse(std::ifstream(report));
    return run;
  }

  // The report's row of a camera, by identifier or address.
  static Json row(const Run& run, const std::string& key) {
    for (const Json& d : run.report["devices"])
      if (d["identifier"] == key || d["address"] == key) return d;
    ADD_FAILURE() << key << " missing from the report";
    return Json::object();
  }

  int labVersion(const std::string& id) { return lab_->device(id)->status().version; }

  // The program run; a copy elsewhere finds its trusted keys as installed.
  std::string fleetProgram_ = TOVARIN_FLEET;
  fs::path dir_;
  std::unique_ptr<devsim::DeviceLab> lab_;
  std::unique_ptr<devsim::UpdateServer> server_;
  std::map<std::string, std::size_t> index_;
};

// 16 good 47RKT cameras (one only with a typed account), then one of each
// failure, and two cameras of the other hardware.
std::vector<Camera> mixedSite() {
  std::vector<Camera> cameras;
  for (int i = 1; i <= 16; ++i) cameras.push_back({"GOOD" + std::to_string(i)});
  cameras[5].extra = "account.admin = secret";
  cameras.push_back({"BUSY", "47RKT", 2010, "fault_busy = 1"});
  cameras.push_back({"DROP", "47RKT", 2010, "fault_drop_after_bytes = 100000"});
  cameras.push_back({"STALL", "47RKT", 2010, "fault_stall = 1"});
  cameras.push_back({"KEEP", "47RKT", 2010, "fault_keep_version = 1"});
  cameras.push_back({"OTHER1", "52HQX", 3000});
  cameras.push_back({"OTHER2", "52HQX", 3000});
  return cameras;
}

TEST_F(FleetWorld, RolloutConfirmsEveryGoodCameraAndNamesEachFailure) {
  startLab(mixedSite());
  const std::string patch = makePatch();
  const Run run =
      fleet({"update", "--patch", patch, "--all", "--login", "admin:secret", "--parallel", "8"});

  EXPECT_NE(0, run.status) << run.output;
  EXPECT_LT(run.seconds, kRunBoundSeconds);
  ASSERT_EQ(22u, run.report["devices"].size()) << run.output;
  for (int i = 1; i <= 16; ++i) {
    const std::string id = "GOOD" + std::to_string(i);
    const Json r = row(run, id);
    EXPECT_EQ("confirmed", r["result"]) << id << ": " << r["reason"];
    EXPECT_EQ(2010, r["version_before"]) << id;
    EXPECT_EQ(2011, r["version_after"]) << id;
    EXPECT_EQ(2011, labVersion(id)) << id;
  }
  const std::map<std::string, std::string> expected = {
      {"BUSY", "camera busy"},
      {"DROP", "connection lost during the upload at "},
      {"STALL", "no answer to the login (3 tries)"},
      {"KEEP", "came back with version 2010, patch carries 2011"},
      {"OTHER1", "patch is for 47RKT, camera is 52HQX; nothing sent"},
      {"OTHER2", "patch is for 47RKT, camera is 52HQX; nothing sent"},
  };
  for (const auto& [id, reason] : expected) {
    const Json r = row(run, id);
    EXPECT_EQ("failed", r["result"]) << id;
    EXPECT_NE(std::string::npos, r["reason"].get<std::string>().find(reason))
        << id << ": " << r["reason"];
  }
  EXPECT_EQ(2010, labVersion("BUSY"));
  EXPECT_EQ(2010, labVersion("KEEP"));
  EXPECT_EQ(3000, labVersion("OTHER1"));
  EXPECT_EQ(0, lab_->device("OTHER1")->status().reboots);
  EXPECT_EQ(16, run.report["summary"]["confirmed"]);
  EXPECT_EQ(6, run.report["summary"]["failed"]);
}

TEST_F(FleetWorld, FailedCanaryStopsTheRollout) {
  startLab(mixedSite());
  const std::string patch = makePatch();
  // GOOD1 and KEEP go first; KEEP comes back on its old version.
  std::vector<std::string> args = {"update",
                                   "--patch",
                                   patch,
                                   "--canary",
                                   "2",
                                   "--device",
                                   address(index_["GOOD1"]),
                                   address(index_["KEEP"])};
  for (int i = 2; i <= 6; ++i) args.push_back(address(index_["GOOD" + std::to_string(i)]));
  const Run run = fleet(args);

  EXPECT_NE(0, run.status) << run.output;
  EXPECT_LT(run.seconds, kRunBoundSeconds);
  EXPECT_EQ("confirmed", row(run, address(index_["GOOD1"]))["result"]);
  EXPECT_EQ("failed", row(run, address(index_["KEEP"]))["result"]);
  for (int i = 2; i <= 6; ++i) {
    const std::string id = "GOOD" + std::to_string(i);
    const Json r = row(run, address(index_[id]));
    EXPECT_EQ("not_started", r["result"]) << id;
    EXPECT_NE(std::string::npos, r["reason"].get<std::string>().find("canary")) << r["reason"];
    EXPECT_EQ(2010, labVersion(id)) << id << " was updated although the canary failed";
  }
}

TEST_F(FleetWorld, OnlineUpdatePacksOnePatchPerHardwareAndConfirmsAll) {
  startLab({{"RKT-A", "47RKT", 2010},
            {"RKT-B", "47RKT", 2009},
            {"HQX-A", "52HQX", 3000},
            {"HQX-B", "52HQX", 3000}});
  server_ = std::make_unique<devsim::UpdateServer>(kServed.string(), "127.0.0.1", 0);
  std::string error;
  ASSERT_TRUE(server_->start(&error)) << error;
  const Run run = fleet({"update", "--online", "--update-server",
                         "127.0.0.1:" + std::to_string(server_->port()), "--all"});

  EXPECT_EQ(0, run.status) << run.output;
  EXPECT_EQ(2011, labVersion("RKT-A"));
  EXPECT_EQ(2011, labVersion("RKT-B"));
  EXPECT_EQ(3001, labVersion("HQX-A"));
  EXPECT_EQ(3001, labVersion("HQX-B"));
  EXPECT_EQ(4, run.report["summary"]["confirmed"]) << run.output;
  // One catalogue per hardware, however many cameras share it.
  int catalogues = 0;
  for (const std::string& path : server_->requestedPaths())
    catalogues += path.find("versionlist_new.txt") != std::string::npos;
  EXPECT_EQ(2, catalogues);
}

TEST_F(FleetWorld, OnlineUpdateOverHttpsTrustsOnlyTheGivenAuthority) {
  startLab({{"RKT-A", "47RKT", 2010}});
  const fs::path ca = dir_ / "ca";
  ASSERT_EQ(0, std::system((std::string(TOVARIN_MAKE_TEST_CA) + " '" + ca.string() + "'").c_str()));
  server_ = std::make_unique<devsim::UpdateServer>(kServed.string(), "127.0.0.1", 0);
  server_->useTls((ca / "server.pem").string(), (ca / "server.key").string());
  std::string error;
  ASSERT_TRUE(server_->start(&error)) << error;
  const std::string https = "https://127.0.0.1:" + std::to_string(server_->port());

  const Run untrusted = fleet({"update", "--online", "--update-server", https, "--all"});
  EXPECT_NE(0, untrusted.status) << untrusted.output;
  EXPECT_NE(std::string::npos, untrusted.output.find("certificate not trusted"))
      << untrusted.output;
  EXPECT_EQ(2010, labVersion("RKT-A"));

  const Run trusted = fleet({"update", "--online", "--update-server", https, "--ca-file",
                             (ca / "ca.pem").string(), "--all"});
  EXPECT_EQ(0, trusted.status) << trusted.output;
  EXPECT_EQ(2011, labVersion("RKT-A"));
}

TEST_F(FleetWorld, OnlineUpdateWithoutATemporaryFolderTouchesNoCamera) {
  startLab({{"RKT-A", "47RKT", 2010}});
  const char* before = std::getenv("TMPDIR");
  const std::string saved = before ? before : "";
  ::setenv("TMPDIR", (dir_ / "missing").c_str(), 1);
  const Run run = fleet({"update", "--online", "--update-server", "127.0.0.1:1", "--all"});
  before ? ::setenv("TMPDIR", saved.c_str(), 1) : ::unsetenv("TMPDIR");
  EXPECT_EQ(1, run.status) << run.output;
  EXPECT_EQ(2010, labVersion("RKT-A"));
}

// An identifier is any bytes but zero: one that is not UTF-8 and holds a
// terminal escape is reported escaped, in the report and on the screen.
TEST_F(FleetWorld, IdentifierThatIsNotUtf8NeitherEndsTheRunNorReachesTheTerminal) {
  const std::string odd = "ODD\xff\x1b[2J", shown = "ODD\\xff\\x1b[2J";
  startLab({{"GOOD1"}, {odd}});
  const Run search = fleet({"search", "--json"});
  ASSERT_EQ(0, search.status) << search.output;
  const Json found = Json::parse(search.output);
  EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const Json& d) {
    return d["identifier"] == shown;
  })) << search.output;

  const Run run = fleet({"update", "--patch", makePatch(), "--all"});
  EXPECT_EQ(0, run.status) << run.output;
  EXPECT_EQ(2011, labVersion(odd));
  EXPECT_EQ("confirmed", row(run, shown)["result"]) << run.report;
  EXPECT_EQ(std::string::npos, run.output.find('\x1b')) << run.output;
  EXPECT_NE(std::string::npos, run.output.find(shown)) << run.output;
}

TEST_F(FleetWorld, SearchListsWhatEachCameraReports) {
  startLab({{"RKT-A", "47RKT", 2010}, {"HQX-A", "52HQX", 3000, "update_pending = 1"}});
  const Run run = fleet({"search", "--json", "--login", "admin"});
  ASSERT_EQ(0, run.status) << run.output;
  const Json list = Json::parse(run.output);
  ASSERT_EQ(2u, list.size());
  std::map<std::string, Json> byId;
  for (const Json& d : list) byId[d["identifier"]] = d;
  EXPECT_EQ("47RKT", byId["RKT-A"]["hardware"]);
  EXPECT_EQ(2010, byId["RKT-A"]["version"]);
  EXPECT_EQ(false, byId["RKT-A"]["update_pending"]);
  EXPECT_EQ("52HQX", byId["HQX-A"]["hardware"]);
  EXPECT_EQ(true, byId["HQX-A"]["update_pending"]);
}

// 254 cameras on a subnet behind a router: the broadcast search hears none
// of them, --range finds every one once, and a bad range is a usage error.
TEST_F(FleetWorld, RangeSearchFindsTheCamerasBehindARouter) {
  std::vector<Camera> cameras;
  for (int i = 1; i <= 254; ++i)
    cameras.push_back({"R" + std::to_string(i), "47RKT", 2010, "behind_router = 1"});
  startLab(cameras);

  const Run broadcast = fleet({"search", "--json"});
  ASSERT_EQ(0, broadcast.status) << broadcast.output;
  EXPECT_EQ(0u, Json::parse(broadcast.output).size());

  const Run ranged = fleet({"search", "--json", "--range", "127.0.3.0/24"});
  ASSERT_EQ(0, ranged.status) << ranged.output;
  std::set<std::string> expected, found;
  for (std::size_t i = 0; i < cameras.size(); ++i)
    expected.insert(address(i) + " " + cameras[i].id);
  for (const Json& d : Json::parse(ranged.output))
    found.insert(d["address"].get<std::string>() + " " + d["identifier"].get<std::string>());
  EXPECT_EQ(expected, found);

  const Run bad = fleet({"search", "--range", "10.0.0.0/8"});
  EXPECT_EQ(2, bad.status);
}

}  // namespace

namespace {

TEST_F(FleetWorld, EveryWrongCommandLineExitsTwo) {
  startLab({{"RKT-A"}});
  const std::string patch = makePatch();
  const std::string file = (dir_ / "pw").string();
  std::ofstream(file) << "secret\n";
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  const std::vector<std::vector<std::string>> wrong = {
      {"update", "--patch", (dir_ / "missing.patch").string(), "--all"},  // unreadable patch
      {"update", "--patch", patch, "--all", "--no-such-option"},
      {"update", "--patch", patch},  // neither --all nor --device
      {"update", "--patch", patch, "--wait", "1"},
      {"search", "--prometheus", (dir_ / "m.prom").string()},  // needs --login
      {"search", "--login", "admin:secret", "--password-file", file},
      {"no-such-command"},
  };
  for (const auto& args : wrong) EXPECT_EQ(2, fleet(args).status) << args.back();
  EXPECT_EQ(2010, labVersion("RKT-A"));
}

// A camera without the default account needs the typed password: it gets
// there from the environment or an owner-only file; a file others can read
// is refused.
TEST_F(FleetWorld, PasswordComesFromEnvironmentOrOwnerOnlyFile) {
  startLab({{"LOCKED", "47RKT", 2010, "account.admin = s3cret"}});
  const auto hardwareSeen = [](const Run& run) {
    const Json list = Json::parse(run.output, nullptr, false);
    return !list.is_discarded() && list.size() == 1 && list[0].value("hardware", "") == "47RKT";
  };
  const std::vector<std::string> search = {"search", "--json", "--login", "admin"};
  EXPECT_FALSE(hardwareSeen(fleet(search)));

  ::setenv("TOVARIN_PASSWORD", "s3cret", 1);
  const Run fromEnvironment = fleet(search);
  ::unsetenv("TOVARIN_PASSWORD");
  EXPECT_TRUE(hardwareSeen(fromEnvironment)) << fromEnvironment.output;
  EXPECT_EQ("", fromEnvironment.errors);

  const std::string file = (dir_ / "pw").string();
  std::ofstream(file) << "s3cret\n";
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  std::vector<std::string> withFile = search;
  withFile.insert(withFile.end(), {"--password-file", file});
  EXPECT_TRUE(hardwareSeen(fleet(withFile)));
  fs::permissions(file, fs::perms::group_read, fs::perm_options::add);
  const Run readable = fleet(withFile);
  EXPECT_EQ(2, readable.status);
  EXPECT_NE(std::string::npos, readable.errors.find("other users can read it")) << readable.errors;
}

// --json - puts nothing but the report on standard output, for scripts;
// --json FILE on search writes the list there and the table on the screen.
TEST_F(FleetWorld, JsonMeansAFileOrStandardOutputOnEveryCommand) {
  startLab({{"RKT-A"}, {"RKT-B"}});
  const Run update = fleet({"update", "--patch", makePatch(), "--device", address(0), "--json", "-",
                            "--reboot-wait", "20"});
  EXPECT_EQ(0, update.status) << update.errors;
  const Json report = Json::parse(update.output, nullptr, false);
  ASSERT_FALSE(report.is_discarded()) << update.output;
  EXPECT_EQ("confirmed", report["devices"][0]["result"]);
  EXPECT_NE(std::string::npos, update.errors.find("confirmed")) << "the table goes to stderr";

  const std::string list = (dir_ / "list.json").string();
  const Run search = fleet({"search", "--json", list});
  EXPECT_EQ(0, search.status);
  EXPECT_EQ(2u, Json::parse(std::ifstream(list)).size());
  EXPECT_NE(std::string::npos, search.output.find("RKT-B")) << search.output;
}

TEST_F(FleetWorld, PrometheusFileHoldsEachCamerasFirmwareAndNothingElseIsLeft) {
  startLab({{"RKT-A"}, {"HQX-A", "52HQX", 3000}, {"LOCKED", "47RKT", 2010, "account.admin = x"}});
  const fs::path metrics = dir_ / "metrics" / "tovarin.prom";
  fs::create_directories(metrics.parent_path());
  std::ofstream(metrics) << "stale_metric 1\n";
  const Run run = fleet({"search", "--login", "admin", "--prometheus", metrics.string()});
  ASSERT_EQ(0, run.status) << run.errors;
  std::stringstream text;
  text << std::ifstream(metrics).rdbuf();
  for (const std::string& line :
       {"tovarin_camera_info{identifier=\"RKT-A\",address=\"127.0.3.1\",hardware=\"47RKT\","
        "firmware=\"2010\"} 1\n",
        "tovarin_camera_info{identifier=\"HQX-A\",address=\"127.0.3.2\",hardware=\"52HQX\","
        "firmware=\"3000\"} 1\n",
        "tovarin_camera_up{identifier=\"LOCKED\",address=\"127.0.3.3\"} 0\n"})
    EXPECT_NE(std::string::npos, text.str().find(line)) << text.str();
  EXPECT_EQ(std::string::npos, text.str().find("stale_metric"));
  EXPECT_EQ(1, std::distance(fs::directory_iterator(metrics.parent_path()), {}));
}

// A site whose cameras each serve two connections at a time (one is too
// tight on a loaded machine, where the lab frees a reset connection late),
// some behind a network that resets their first connections: every camera
// that can be reached within the tries is confirmed; only the one that never
// can is reported, with what happened and how often it was tried.
TEST_F(FleetWorld, TransientFailuresAreRiddenOverAndOnlyTrueOnesReported) {
  std::vector<Camera> cameras;
  for (int i = 1; i <= 40; ++i) cameras.push_back({"CAM" + std::to_string(i)});
  // A login try that loses its connection tries the typed account on a
  // second one: two resets spoil the first try and the second gets through,
  // with a try to spare for a reset connection the lab frees late under load.
  for (int i : {3, 9, 17, 25, 33}) cameras[i].extra = "fault_reset_connections = 2";
  cameras.push_back({"GONE", "47RKT", 2010, "fault_reset_connections = 1000"});
  startLab(cameras, "max_connections_per_camera = 2\nmax_connections_per_client = 2\n");
  const Run run = fleet({"update", "--patch", makePatch(), "--all", "--parallel", "16"});

  EXPECT_EQ(1, run.status) << run.output;
  EXPECT_LT(run.seconds, kRunBoundSeconds);
  ASSERT_EQ(41u, run.report["devices"].size()) << run.output;
  for (int i = 1; i <= 40; ++i) {
    const std::string id = "CAM" + std::to_string(i);
    EXPECT_EQ("confirmed", row(run, id)["result"]) << id << ": " << row(run, id)["reason"];
    EXPECT_EQ(2011, labVersion(id)) << id;
  }
  EXPECT_EQ("failed", row(run, "GONE")["result"]);
  // A reset at once may reach the fleet as a lost login or as no connection.
  const std::string gone = row(run, "GONE")["reason"];
  EXPECT_TRUE(gone == "connection lost at the login (3 tries)" ||
              gone == "no connection to port 9001 (3 tries)")
      << gone;
  RecordProperty("refused_at_the_limit", static_cast<int>(lab_->refusedConnections()));
}

// A camera that takes another address while it reboots is found again by its
// identifier and confirmed there, also when the operator named it by its old
// address; the report gives both addresses.
TEST_F(FleetWorld, CameraBackAtAnotherAddressIsConfirmedThere) {
  const std::string moved = "127.0.3.200";
  startLab({{"GOOD1"}, {"MOVER", "47RKT", 2010, "fault_return_address = " + moved}});
  const std::string before = address(index_["MOVER"]);
  const Run run =
      fleet({"update", "--patch", makePatch(), "--device", address(index_["GOOD1"]), before});

  EXPECT_EQ(0, run.status) << run.output;
  const Json r = row(run, before);
  EXPECT_EQ("confirmed", r["result"]) << r["reason"];
  EXPECT_EQ(before, r["address"]);
  EXPECT_EQ(moved, r["address_after"]);
  const std::string stayed = address(index_["GOOD1"]);
  EXPECT_EQ(stayed, row(run, stayed)["address_after"]);
  EXPECT_NE(std::string::npos, run.output.find(before + " -> " + moved)) << run.output;
  EXPECT_EQ(2011, labVersion("MOVER"));
}

}  // namespace

// A fleet that trusts the lab's key sends only what the lab signed, and
// reports what it sent and who signed it; --require-signed without a key
// touches nothing.
TEST_F(FleetWorld, SignedRolloutSendsOnlyWhatATrustedKeySigned) {
  startLab({{"RKT-A", "47RKT", 2010}});
  const fs::path labKey = fs::path(TOVARIN_WORLD_SOURCE) / "lab-key";
  Run unchecked = fleet({"update", "--require-signed", "--patch", makePatch(), "--all"});
  EXPECT_EQ(2, unchecked.status) << unchecked.output;
  EXPECT_EQ(2010, labVersion("RKT-A"));

  // Installed elsewhere: the keys come from the user's config folder.
  fs::create_directories(dir_ / "bin");
  fs::copy_file(TOVARIN_FLEET, dir_ / "bin/tovarin-fleet");
  fleetProgram_ = (dir_ / "bin/tovarin-fleet").string();
  fs::create_directories(dir_ / "config/Tovarin/trusted-keys");
  fs::copy_file(labKey / "tovarin-lab.pub", dir_ / "config/Tovarin/trusted-keys/lab.pub");
  ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);

  server_ = std::make_unique<devsim::UpdateServer>(kServed.string(), "127.0.0.1", 0);
  std::string error;
  ASSERT_TRUE(server_->start(&error)) << error;
  const std::string host = "127.0.0.1:" + std::to_string(server_->port());
  auto sign = [&](const std::string& mode) {
    devsim::UpdateServer::Signer signer;
    ASSERT_TRUE(devsim::labSigner(mode, (labKey / "tovarin-lab.key").string(), &signer, &error));
    server_->signFilesWith(signer);
  };

  sign("none");
  Run run = fleet({"update", "--online", "--update-server", host, "--all"});
  EXPECT_NE(0, run.status);
  EXPECT_NE(std::string::npos, run.output.find("catalogue not signed by a trusted key"))
      << run.output;
  sign("other_key");
  run = fleet({"update", "--online", "--update-server", host, "--all"});
  EXPECT_NE(std::string::npos, run.output.find("catalogue not signed by a trusted key"))
      << run.output;
  sign("lab");
  server_->corruptFiles(true);
  run = fleet({"update", "--online", "--update-server", host, "--all"});
  EXPECT_NE(std::string::npos, run.output.find("app.bin: signature does not match")) << run.output;
  run = fleet({"update", "--patch", makePatch(), "--all"});
  EXPECT_NE(0, run.status);
  EXPECT_EQ(2010, labVersion("RKT-A"));

  server_->corruptFiles(false);
  run = fleet({"update", "--online", "--update-server", host, "--all"});
  ::unsetenv("XDG_CONFIG_HOME");
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(0, run.status) << run.output;
  EXPECT_EQ(2011, labVersion("RKT-A"));
  const Json sent = row(run, "RKT-A");
  EXPECT_EQ(64u, sent["sha256"].get<std::string>().size()) << sent;
  EXPECT_EQ("Tovarin device lab (test key)", sent["signer"]) << sent;
}
