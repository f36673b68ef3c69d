// What the update run costs on top of the send itself. A 128 MiB patch goes
// to a lab device, alternately through the window's whole update run
// (question, MD5 of the patch, connect, send with the gauge following the
// device, outcome, reboot notice, end step, end hook) and through a bare
// ConnectServer / SendUpdatePatch / ReleaseSocket with the MD5 known in
// advance, and through the same bare call preceded by FileMd5Hex (every
// sender needs the digest before the first byte goes out). Prints the
// medians and the ratios of the run to both.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "app/mainform.h"
#include "app/shutdown.h"
#include "common/file_helpers.h"
#include "common/ui_thread.h"
#include "devicelink/kestrum_device_link.h"
#include "devicelink/progress_callbacks.h"
#include "environment.h"
#include "firmware/update_run_worker.h"
#include "lab.h"
#include "patchformat.h"
#include "quiet_services.h"
#include "session/device_session.h"
#include "timing.h"
#include "widgets/skinned_controls.h"

namespace {

constexpr int kPairs = bench::kMinRounds;
constexpr std::uint64_t kPatchBytes = 128 * bench::kMiB;

void ignoreProgress(int32_t, uint16_t) {}

// Lets the window's thread carry out pending work until cond holds.
template <typename Cond>
void spinUntil(Cond cond) {
  while (!cond()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

int main(int argc, char** argv) {
  bench::enterPrivateNetwork(argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  initUiThread();

  bench::ScratchFolder work;
  const std::string app_bin = work.path + "/app.bin";
  const std::string patch = work.path + "/47RKT_2011.patch";
  bench::makeFile(app_bin, kPatchBytes - 1024);
  std::string error;
  if (!patchformat::writePatch(patch, "47RKT", 2011, {{"app.bin", app_bin}},
                               patchformat::buildInstallScript("2010", {"app.bin"}), &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const std::string md5 = FileMd5Hex(patch);

  devsim::LabConfig config;
  std::filesystem::create_directories(work.path + "/template");
  config.devices = {bench::benchDevice(work.path + "/template")};
  config.stateDir = work.path + "/state";
  config.rebootSeconds = 0.05;
  devsim::DeviceLab lab(config);
  if (!lab.start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  bench::QuietServices quiet;
  KestrumDeviceLink link;
  TMainForm form(quiet.with(link, work.path + "/exe"));
  form.state().session.DeviceAddress = "127.0.0.2";
  listitem::add(form.Patch2Send_LV, "47RKT_2011.patch", QString::fromStdString(patch), 2,
                form.TovarinImages_ImageList);

  int searchesFinished = 0;
  QObject::connect(form.DevSearchMessageEdit_Edit, &QLineEdit::textChanged, &form,
                   [&](const QString& text) { searchesFinished += text == "search finished!"; });

  auto wholeRun = [&] {
    form.FirmwareUpdate_BtnClick(form.FirmwareUpdate_Btn);
    waitOnUiThread([&] {
      return !form.updateRunActive() && firmwareRunsHoldingConnection(form.state().updateRun) == 0;
    });
  };
  auto bareSend = [&] {
    int32_t handle = link.ConnectServer("127.0.0.2", kDevicePort);
    const int32_t result = link.SendUpdatePatch(patch.c_str(), md5.c_str(), &handle);
    link.ReleaseSocket(&handle);
    if (result != KESTRUM_SEND_DELIVERED) std::abort();
  };

  std::vector<double> runTimes, bareTimes, md5BareTimes;
  for (int pair = 0; pair < kPairs; ++pair) {
    link.set_callback_curprogress(&ignoreProgress);
    bareTimes.push_back(bench::seconds(bareSend));
    md5BareTimes.push_back(bench::seconds([&] {
      if (FileMd5Hex(patch) != md5) std::abort();
      bareSend();
    }));

    link.set_callback_curprogress(&CurProgressCallback);
    const int searches = searchesFinished;
    runTimes.push_back(bench::seconds(wholeRun));
    // Untimed: the reboot that the run's notice asked for, and its search.
    spinUntil([&] { return searchesFinished > searches && form.DevSearch_Btn->isEnabled(); });
    if (!lab.waitOnline("BENCH", std::chrono::seconds(10))) std::abort();
    if (form.UpdateProgress_Gauge->text() != "Patch Send Finished!") std::abort();
  }
  // Leave as the program does: a search still reporting to the window ends first.
  shutDownProgram(form);
  lab.stop();

  const double run = bench::median(runTimes), bare = bench::median(bareTimes);
  const double md5Bare = bench::median(md5BareTimes);
  std::printf("Firmware update run, 128 MiB patch, %d rounds\n", kPairs);
  std::printf("  bare SendUpdatePatch: median %.3f s (%.0f MiB/s)\n", bare,
              kPatchBytes / bare / bench::kMiB);
  std::printf("  FileMd5Hex + bare:    median %.3f s (%.0f MiB/s)\n", md5Bare,
              kPatchBytes / md5Bare / bench::kMiB);
  std::printf("  whole update run:     median %.3f s (%.0f MiB/s)\n", run,
              kPatchBytes / run / bench::kMiB);
  std::printf("  ratio run / bare: %.3f (the run adds %.1f %%)\n", run / bare,
              (run / bare - 1) * 100);
  std::printf("  ratio run / (FileMd5Hex + bare): %.3f (the run adds %.1f %%)\n", run / md5Bare,
              (run / md5Bare - 1) * 100);
  return 0;
}
