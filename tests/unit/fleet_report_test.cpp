// What tovarin-fleet shows and writes when the network sends texts that are
// not UTF-8 or hold terminal escapes, and where it refuses to write a report.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "fleet/escaped_text.h"
#include "fleet/fleet_report.h"
#include "fleet/report_path.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

// Nothing a terminal would act on, and text a JSON writer accepts.
void expectPlain(const std::string& text) {
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    EXPECT_TRUE(b == '\n' || (b >= 0x20 && b < 0x7F)) << "byte " << int(b) << " in\n" << text;
  }
}

TEST(EscapedText, KeepsUtf8AndEscapesEveryOtherByteReversibly) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"CAM0001", "CAM0001"},
      {"\xe6\x91\x84\xe5\x83\x8f", "\xe6\x91\x84\xe5\x83\x8f"},  // two CJK characters
      {"a\x1b[2Jb\x07", "a\\x1b[2Jb\\x07"},                      // C0 controls
      {"\x7f", "\\x7f"},                                         // DEL
      {"\xc2\x9b"
       "31m",
       "\\xc2\\x9b31m"},                    // C1 CSI as UTF-8
      {"\xff\xfe", "\\xff\\xfe"},           // never UTF-8
      {"\xe6\x91", "\\xe6\\x91"},           // cut short
      {"\xc0\xaf", "\\xc0\\xaf"},           // overlong "/"
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},  // a surrogate
      {std::string("a\0b", 3), "a\\x00b"},
      {"C:\\x41", "C:\\\\x41"},  // a backslash is doubled: no clash with \xNN
  };
  for (const auto& [bytes, shown] : cases) EXPECT_EQ(shown, escapedText(bytes));
}

TEST(FleetReport, NetworkTextsAreEscapedInJsonAndTables) {
  DeviceOutcome o;
  o.target = {"127.0.3.1", "CAM\xff\x1b[2J"};
  o.hardware = "47\xc2\x9bRKT";
  o.reason = "update server: net: \xfe\x1b]0;x\x07";
  o.result = DeviceResult::Failed;

  const nlohmann::json devices = nlohmann::json::parse(outcomesJson({o}).dump());
  EXPECT_EQ("CAM\\xff\\x1b[2J", devices[0]["identifier"]);
  EXPECT_EQ("47\\xc2\\x9bRKT", devices[0]["hardware"]);
  EXPECT_EQ("update server: net: \\xfe\\x1b]0;x\\x07", devices[0]["reason"]);
  const std::string table = outcomesTable({o});
  expectPlain(table);
  EXPECT_NE(std::string::npos, table.find("CAM\\xff\\x1b[2J")) << table;

  DeviceSurvey s;
  s.target = o.target;
  s.error = "login: \xff";
  EXPECT_EQ("login: \\xff", nlohmann::json::parse(surveysJson({s}, true).dump())[0]["login_error"]);
  expectPlain(surveysTable({s}, true));
}

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
