// The online update's scratch folder: fresh, private, never one somebody
// else made, and gone at the end of the run, Ctrl+C included.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "fleet/interrupt_guard.h"
#include "fleet/online_patches.h"
#include "fleet/work_folder.h"
#include "scripted_http_client.h"
#include "settings/message_lists.h"
#include "temp_folder.h"
#include "updateservice/update_urls.h"

namespace fs = std::filesystem;

namespace {

// What another local user wants emptied: a folder with files.
fs::path plantVictim(const fs::path& where) {
  writeFile(where / "notes.txt", "notes");
  writeFile(where / "keep" / "id_rsa", "key");
  return where;
}

void expectVictimWhole(const fs::path& victim) {
  EXPECT_EQ("notes", readFile(victim / "notes.txt"));
  EXPECT_EQ("key", readFile(victim / "keep" / "id_rsa"));
  EXPECT_EQ(2, std::distance(fs::directory_iterator(victim), fs::directory_iterator()));
}

TEST(WorkFolder, IsFreshAndPrivateAndItsRemovalFollowsNoLink) {
  TempFolder root;
  const fs::path victim = plantVictim(root.path() / "victim");
  const fs::path planted = root.path() / ("tovarin-fleet-" + std::to_string(::getpid()));
  fs::create_directory_symlink(victim, planted);
  fs::path made;
  {
    WorkFolder work(root.path()), other(root.path());
    ASSERT_TRUE(work.made()) << work.error();
    made = work.path();
    EXPECT_NE(other.path(), made);
    EXPECT_NE(planted, made);
    EXPECT_TRUE(fs::is_empty(made));
    EXPECT_EQ(fs::file_type::directory, fs::symlink_status(made).type());
    EXPECT_EQ(fs::perms::owner_all, fs::symlink_status(made).permissions());
    fs::create_directories(made / "hardware0");
    fs::create_directory_symlink(victim, made / "hardware0" / "autotmp");
    fs::create_symlink(victim / "notes.txt", made / "notes.txt");
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(made)));
  expectVictimWhole(victim);
}

// A work root where somebody already made the hardware folder, its
// "autotmp" a link to their victim: the check must neither empty the
// victim nor download into it.
TEST(OnlinePatches, PlantedHardwareFolderIsNeitherEmptiedNorWrittenTo) {
  TempFolder root;
  const fs::path victim = plantVictim(root.path() / "victim");
  const fs::path workRoot = root.path() / "work";
  fs::create_directories(workRoot / "hardware0");
  fs::create_directory_symlink(victim, workRoot / "hardware0" / "autotmp");

  ScriptedHttpClient http;
  http.answers[catalogueUrl("127.0.0.1", "47RKT")].body =
      "NewVer=2011&;FileCount=1&;File01Ver=2011;Name=app.bin;md5=" + std::string(32, '0') + "&;";
  http.answers[updateFileUrl("127.0.0.1", "47RKT", "app.bin")].body = "payload";
  MessageLists texts;
  texts.fill();
  DeviceSurvey camera;
  camera.loggedIn = true;
  camera.hardware = "47RKT";
  camera.version = 2010;
  std::FILE* log = std::tmpfile();
  const auto patches =
      prepareOnlinePatches(http, texts, "127.0.0.1", {camera}, workRoot.string(), log);
  std::fclose(log);

  EXPECT_EQ(OnlinePatch::Failed, patches.at("47RKT").kind);
  EXPECT_NE(std::string::npos, patches.at("47RKT").message.find("already there"));
  expectVictimWhole(victim);
}

// Ctrl+C in the middle of a run: the folder goes, the exit status says why.
TEST(InterruptGuardDeathTest, SignalRemovesTheWorkFolderAndExitsWith128PlusIt) {
  TempFolder root;
  for (const int signal : {SIGINT, SIGTERM}) {
    EXPECT_EXIT(
        {
          startInterruptGuard();
          WorkFolder work(root.path());
          writeFile(work.path() / "hardware0" / "autotmp" / "0", "download");
          const InterruptCleanup cleanup([&] { work.remove(); });
          ::kill(::getpid(), signal);
          for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
        },
        ::testing::ExitedWithCode(128 + signal), "interrupted by SIG");
    EXPECT_TRUE(fs::is_empty(root.path())) << signal;
  }
}

}  // namespace
