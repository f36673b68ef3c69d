// What nine download missions at once deliver against the same nine files
// fetched one after another by a bare ConnectServer / SearchDir / RecvData /
// RecvFile loop on one thread. The missions go through the window's whole
// path: open on the file list, slot, connection, request, file, report, end
// step. Prints the medians and the aggregate throughput ratio (target 0.8).
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/mainform.h"
#include "app/shutdown.h"
#include "common/ui_thread.h"
#include "common/worker_thread.h"
#include "devicelink/kestrum_device_link.h"
#include "environment.h"
#include "lab.h"
#include "quiet_services.h"
#include "session/device_session.h"
#include "timing.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 9;
constexpr std::uint64_t kFileBytes = 8 * bench::kMiB;

std::string fileName(int i) { return "clip" + std::to_string(i) + ".mp4"; }

}  // namespace

int main(int argc, char** argv) {
  bench::enterPrivateNetwork(argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  initUiThread();

  bench::ScratchFolder work;
  const std::string storage = work.path + "/template";
  for (int i = 0; i < kFiles; ++i) bench::makeFile(storage + "/" + fileName(i), kFileBytes + i);
  const std::string missionsFolder = work.path + "/missions";
  const std::string loopFolder = work.path + "/loop";
  fs::create_directories(missionsFolder);
  fs::create_directories(loopFolder);

  devsim::LabConfig config;
  config.devices = {bench::benchDevice(storage)};
  config.stateDir = work.path + "/state";
  devsim::DeviceLab lab(config);
  std::string error;
  if (!lab.start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  bench::QuietServices quiet;
  KestrumDeviceLink link;
  TMainForm form(quiet.with(link, work.path + "/exe"));
  link.FlowCtrl(0);  // the settings' default limit would measure the limit
  form.state().session.DeviceAddress = "127.0.0.2";
  form.DownloadSavePath_Edit->setText(QString::fromStdString(missionsFolder));
  for (int i = 0; i < kFiles; ++i) form.FileListAddItemByName(fileName(i), "", '2');

  auto missions = [&] {
    for (int i = 0; i < kFiles; ++i) {
      form.FileList_LV->clearSelection();
      form.FileList_LV->item(i)->setSelected(true);
      form.FileList_LVDblClick();
    }
    waitOnUiThread([&] {
      for (TThread* m : form.DownloadMissions)
        if (m && !m->Finished()) return false;
      return true;
    });
    form.StopAllThreads();  // frees the nine slots for the next round
  };
  auto loop = [&] {
    for (int i = 0; i < kFiles; ++i) {
      int32_t handle = link.ConnectServer("127.0.0.2", kDevicePort);
      uint16_t id = 1;
      if (link.SearchDir(fileName(i).c_str(), 4, &id, &handle) != 0) std::abort();
      char buffer[44];
      int32_t count = 0, size = 0;
      if (link.RecvData(buffer, &count, &size, id, &handle) != 3) std::abort();
      const std::string target = loopFolder + "/" + fileName(i);
      if (link.RecvFile(target.c_str(), size, id, &handle) < 0) std::abort();
      link.StopRecvFile(id);
      link.ReleaseSocket(&handle);
    }
  };
  auto removeTargets = [&] {
    for (const auto& folder : {missionsFolder, loopFolder})
      for (int i = 0; i < kFiles; ++i) fs::remove(folder + "/" + fileName(i));
  };

  const bench::PairResult r =
      bench::runPairs(bench::kMinRounds, missions, loop, removeTargets, /*warmUp=*/true);
  for (int i = 0; i < kFiles; ++i)
    if (fs::file_size(missionsFolder + "/" + fileName(i)) != kFileBytes + i) std::abort();
  // Leave as the program does: a search still reporting to the window ends first.
  shutDownProgram(form);
  lab.stop();
  std::uint64_t bytes = 0;
  for (int i = 0; i < kFiles; ++i) bytes += kFileBytes + i;
  bench::printThroughput("Nine download missions vs. one RecvFile loop, 9 x 8 MiB", bytes, r, 0.8);
  return 0;
}
