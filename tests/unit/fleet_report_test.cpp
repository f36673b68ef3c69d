// Where tovarin-fleet refuses to write a report.
#include <gtest/gtest.h>

#include "fleet/report_path.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

TEST(ReportPath, RefusesALinkAFolderOrAPathItCannotWrite) {
  TempFolder dir;
  writeFile(dir.path() / "elsewhere.txt", "keep me");
  fs::create_symlink(dir.path() / "elsewhere.txt", dir.path() / "link.json");
  fs::create_directory(dir.path() / "folder.json");
  for (const char* name : {"link.json", "folder.json", "missing/report.json"})
    EXPECT_NE("", reportPathRefusal((dir.path() / name).string())) << name;
  EXPECT_EQ("", reportPathRefusal((dir.path() / "elsewhere.txt").string()));
  EXPECT_EQ("", reportPathRefusal((dir.path() / "new.json").string()));
  EXPECT_EQ("keep me", readFile(dir.path() / "elsewhere.txt"));
}

}  // namespace
