// MakePatch through the library's C interface, answered by a test callback
// the way the patch maker page answers it.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "kestrum.h"
#include "patchformat.h"

namespace fs = std::filesystem;

namespace {

struct Offered {
  std::string name;
  std::string info;  // comma text, or raw bytes for the fault cases
};

std::vector<Offered> g_offered;
std::vector<int32_t> g_askedFor;
bool g_buffersWereZero = true;
std::vector<std::pair<int32_t, uint16_t>> g_progress;

void answer(char* name, char* info, int32_t index) {
  g_askedFor.push_back(index);
  for (std::size_t i = 0; i < KESTRUM_PATCH_NAME_SIZE; ++i) g_buffersWereZero &= name[i] == 0;
  for (std::size_t i = 0; i < KESTRUM_PATCH_INFO_SIZE; ++i) g_buffersWereZero &= info[i] == 0;
  if (index < 1 || index > static_cast<int32_t>(g_offered.size())) return;
  const Offered& o = g_offered[index - 1];
  std::memcpy(name, o.name.data(), std::min(o.name.size(), std::size_t{KESTRUM_PATCH_NAME_SIZE}));
  std::memcpy(info, o.info.data(), std::min(o.info.size(), std::size_t{KESTRUM_PATCH_INFO_SIZE}));
}

void progress(int32_t value, uint16_t channel) { g_progress.emplace_back(value, channel); }

// A path in comma-text form, as the caller writes it.
std::string commaText(const std::string& path) {
  bool quote = path.empty();
  for (unsigned char c : path) quote |= c == ' ' || c == ',' || c == '"' || c < 0x20;
  if (!quote) return path;
  std::string out = "\"";
  for (char c : path) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

class MakePatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("make_patch_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    g_offered.clear();
    g_askedFor.clear();
    g_progress.clear();
    g_buffersWereZero = true;
    set_callback_getfile2patch(answer);
    set_callback_curprogress(progress);
  }
  void TearDown() override {
    set_callback_getfile2patch(nullptr);
    set_callback_curprogress(nullptr);
    fs::remove_all(dir_);
  }

  std::string file(const std::string& relative, const std::string& bytes) {
    const fs::path p = dir_ / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  void offer(const std::string& name, const std::string& path) {
    g_offered.push_back({name, commaText(path)});
  }
  std::string out(const std::string& name = "out.patch") const { return (dir_ / name).string(); }

  static std::string readEntry(const std::string& patch, const patchformat::EntryInfo& entry) {
    const std::string tmp = patch + ".entry";
    std::string error;
    EXPECT_TRUE(patchformat::extractEntry(patch, entry, tmp, &error)) << error;
    std::ifstream in(tmp, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir_;
};

TEST_F(MakePatchTest, PacksPayloadThenRuleScriptUnchanged) {
  const std::string app(150000, 'A');
  const std::string rule = "#!/bin/sh\r\necho custom rule\r\n";  // CR LF kept as given
  offer("app.bin", file("in/app.bin", app));
  offer("version.ini", file("in/version.ini", "[v]\nversion=2011\n"));
  offer("myrule.sh", file("in/myrule.sh", rule));

  ASSERT_EQ(MakePatch("47RKT", 2011, 2010, 3, out().c_str()), 0);

  EXPECT_EQ(g_askedFor, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_TRUE(g_buffersWereZero);
  patchformat::Header header;
  std::vector<patchformat::EntryInfo> entries;
  std::string error;
  ASSERT_TRUE(patchformat::readPatch(out(), &header, &entries, &error)) << error;
  EXPECT_EQ(header.hardwareName, "47RKT");
  EXPECT_EQ(header.version, 2011);
  EXPECT_EQ(header.totalFiles, 3u);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "app.bin");
  EXPECT_EQ(entries[1].name, "version.ini");
  EXPECT_EQ(entries[2].name, "patchrule.sh");
  EXPECT_EQ(readEntry(out(), entries[0]), app);
  EXPECT_EQ(readEntry(out(), entries[2]), rule);
}

TEST_F(MakePatchTest, ReportsProgressOnChannel90FromZeroToHundred) {
  offer("big.bin", file("big.bin", std::string(1 << 20, 'b')));
  offer("rule.sh", file("rule.sh", "echo\n"));
  ASSERT_EQ(MakePatch("H", 1, 0, 2, out().c_str()), 0);

  ASSERT_GE(g_progress.size(), 3u);
  EXPECT_EQ(g_progress.front().first, 0);
  EXPECT_EQ(g_progress.back().first, 100);
  for (std::size_t i = 0; i < g_progress.size(); ++i) {
    EXPECT_EQ(g_progress[i].second, KESTRUM_CHANNEL_MAKE_PATCH);
    if (i > 0) {
      EXPECT_GT(g_progress[i].first, g_progress[i - 1].first) << "at " << i;
    }
  }
}

TEST_F(MakePatchTest, DecodesQuotedPathsAndRepeatsFiles) {
  const std::string payload = file("folder with space/a,b \"quoted\".bin", "payload");
  const std::string rule = file("rule dir/rule.sh", "rule");
  ASSERT_EQ(commaText(payload).front(), '"');
  offer("a,b \"quoted\".bin", payload);
  offer("a,b \"quoted\".bin", payload);  // the same file listed twice
  offer("rule.sh", rule);
  ASSERT_EQ(MakePatch("H", 7, 6, 3, out().c_str()), 0);

  std::vector<patchformat::EntryInfo> entries;
  std::string error;
  ASSERT_TRUE(patchformat::readPatch(out(), nullptr, &entries, &error)) << error;
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(readEntry(out(), entries[0]), "payload");
  EXPECT_EQ(readEntry(out(), entries[1]), "payload");
  EXPECT_EQ(readEntry(out(), entries[2]), "rule");
}

TEST_F(MakePatchTest, RuleScriptAloneMakesAOneEntryPatch) {
  offer("r.sh", file("r.sh", "x"));
  ASSERT_EQ(MakePatch("", 10203, 0, 1, out().c_str()), 0);
  patchformat::Header header;
  std::vector<patchformat::EntryInfo> entries;
  std::string error;
  ASSERT_TRUE(patchformat::readPatch(out(), &header, &entries, &error)) << error;
  EXPECT_EQ(header.hardwareName, "");
  EXPECT_EQ(header.version, 10203);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "patchrule.sh");
}

TEST_F(MakePatchTest, EveryFailureIsNegativeAndLeavesNoPatch) {
  const std::string rule = file("r.sh", "x");

  set_callback_getfile2patch(nullptr);
  g_offered.push_back({"r.sh", rule});
  EXPECT_LT(MakePatch("H", 1, 0, 1, out().c_str()), 0) << "no callback";
  set_callback_getfile2patch(answer);

  EXPECT_LT(MakePatch("H", 1, 0, 0, out().c_str()), 0) << "file count 0";
  EXPECT_LT(MakePatch("H", 1, 0, -3, out().c_str()), 0) << "negative file count";
  EXPECT_TRUE(g_askedFor.empty());

  EXPECT_LT(MakePatch("H", 1, 0, 2, out().c_str()), 0) << "index 2 left unanswered";
  EXPECT_LT(MakePatch("H", 1, 0, 1, (dir_ / "missing/dir/o.patch").c_str()), 0)
      << "unwritable output";

  g_offered = {{"x", (dir_ / "absent.bin").string()}, {"r.sh", rule}};
  EXPECT_LT(MakePatch("H", 1, 0, 2, out().c_str()), 0) << "missing payload file";
  g_offered = {{"d", dir_.string()}, {"r.sh", rule}};
  EXPECT_LT(MakePatch("H", 1, 0, 2, out().c_str()), 0) << "a folder is no file";
  g_offered = {{"r.sh", "\"" + rule}};
  EXPECT_LT(MakePatch("H", 1, 0, 1, out().c_str()), 0) << "unterminated quote";
  g_offered = {{"r.sh", "\"" + rule + "\",\"" + rule + "\""}};
  EXPECT_LT(MakePatch("H", 1, 0, 1, out().c_str()), 0) << "two items";
  EXPECT_FALSE(fs::exists(out()));
}

TEST_F(MakePatchTest, CallbackFillingWholeBuffersCannotOverrun) {
  // No terminating zero from the callback: the library supplies one and the
  // resulting path names no file.
  g_offered = {
      {std::string(KESTRUM_PATCH_NAME_SIZE, 'n'), std::string(KESTRUM_PATCH_INFO_SIZE, 'p')}};
  EXPECT_LT(MakePatch("H", 1, 0, 1, out().c_str()), 0);
  EXPECT_EQ(g_askedFor, (std::vector<int32_t>{1}));
}

TEST_F(MakePatchTest, EmptyNameFallsBackToTheFileName) {
  offer("", file("in/firmware.img", "img"));
  offer("r.sh", file("r.sh", "x"));
  ASSERT_EQ(MakePatch("H", 1, 0, 2, out().c_str()), 0);
  std::vector<patchformat::EntryInfo> entries;
  std::string error;
  ASSERT_TRUE(patchformat::readPatch(out(), nullptr, &entries, &error)) << error;
  EXPECT_EQ(entries[0].name, "firmware.img");
}

TEST_F(MakePatchTest, OutputNamingAnInputIsRefusedAndTheInputKept) {
  const std::string app = file("app.bin", "firmware bytes");
  const std::string rule = file("r.sh", "cp -f /tmp/app.bin /mnt/mtd/\n");
  fs::create_symlink(app, dir_ / "link.patch");
  for (const std::string& output : {app, rule, out("link.patch")}) {
    SCOPED_TRACE(output);
    g_offered.clear();
    offer("app.bin", app);
    offer("r.sh", rule);
    EXPECT_LT(MakePatch("H", 1, 0, 2, output.c_str()), 0);
    EXPECT_EQ(fs::file_size(app), 14u);  // "firmware bytes", untouched
    EXPECT_EQ(fs::file_size(rule), 29u);
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.patch"));
  }
}

}  // namespace
