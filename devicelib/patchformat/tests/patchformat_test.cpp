#include "patchformat.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;
using namespace patchformat;

namespace {

class PatchFormatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("patchformat_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  std::string writeFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
    return path(name);
  }

  static std::string readAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  static std::string randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xff);
    return s;
  }

  static std::uint32_t u32At(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
  }

  static std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t lf; (lf = text.find('\n', start)) != std::string::npos; start = lf + 1) {
      out.push_back(text.substr(start, lf - start));
    }
    EXPECT_EQ(start, text.size()) << "text does not end with LF";
    return out;
  }

  // Overwrites bytes of an existing file in place.
  void patchBytes(const std::string& file, std::size_t at, const std::string& bytes) const {
    std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(static_cast<std::streamoff>(at));
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  static std::string le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
  }

  fs::path dir_;
};

TEST_F(PatchFormatTest, OnePayloadFileGivesTheDocumentedLayout) {
  const std::string app = randomBytes(1000, 1);
  const std::string script = buildInstallScript("2009", {"app.bin"});
  std::string error;
  ASSERT_TRUE(writePatch(path("H12010.patch"), "H1", 2010, {{"app.bin", writeFile("0", app)}},
                         script, &error))
      << error;

  const std::string patch = readAll(path("H12010.patch"));
  ASSERT_EQ(patch.size(), 128u + (64 + 1000) + (64 + script.size()));
  EXPECT_EQ(u32At(patch, 0), 10u);
  EXPECT_EQ(patch.substr(4, 16), std::string("H1") + std::string(14, '\0'));
  EXPECT_EQ(u32At(patch, 20), 2010u);
  EXPECT_EQ(u32At(patch, 24), 2u);
  EXPECT_EQ(u32At(patch, 28), patch.size());
  EXPECT_EQ(patch.substr(32, 96), std::string(96, '\0'));

  EXPECT_EQ(patch.substr(128, 56), std::string("app.bin") + std::string(49, '\0'));
  EXPECT_EQ(u32At(patch, 128 + 56), 1000u);
  EXPECT_EQ(patch.substr(128 + 60, 4), std::string(4, '\0'));
  EXPECT_EQ(patch.substr(128 + 64, 1000), app);

  const std::size_t scriptEntry = 128 + 64 + 1000;
  EXPECT_EQ(patch.substr(scriptEntry, 56), std::string("patchrule.sh") + std::string(44, '\0'));
  EXPECT_EQ(u32At(patch, scriptEntry + 56), script.size());
  EXPECT_EQ(patch.substr(scriptEntry + 60, 4), std::string(4, '\0'));
  const std::string storedScript = patch.substr(scriptEntry + 64);
  EXPECT_EQ(storedScript, script);
  EXPECT_EQ(storedScript.find('\r'), std::string::npos);
  EXPECT_EQ(storedScript.find('\0'), std::string::npos);
  const auto scriptLines = lines(storedScript);
  ASSERT_EQ(scriptLines.size(), 11u);
  EXPECT_EQ(scriptLines[3], "/tmp/exshell.sh 2009");
  EXPECT_EQ(scriptLines[5], "cp -f /tmp/app.bin /mnt/mtd/");
}

TEST_F(PatchFormatTest, InstallScriptListsEveryPayloadInOrder) {
  const std::vector<std::string> expected = {
      "#!/bin/sh",
      "if [ -f \"/tmp/exshell.sh\" ]",
      "then",
      "/tmp/exshell.sh 3001",
      "fi",
      "cp -f /tmp/app.bin /mnt/mtd/",
      "cp -f /tmp/version.ini /mnt/mtd/",
      "if [ -f \"/tmp/version.ini\" ]",
      "then",
      "cp /tmp/version.ini /mnt/mtd/ -f",
      "fi",
      "echo \"========= update OK!!! =======\"",
  };
  EXPECT_EQ(lines(buildInstallScript("3001", {"app.bin", "version.ini"})), expected);

  auto noPayload = lines(buildInstallScript("", {}));
  ASSERT_EQ(noPayload.size(), 10u);
  EXPECT_EQ(noPayload[3], "/tmp/exshell.sh ");
  EXPECT_EQ(noPayload[5], "if [ -f \"/tmp/version.ini\" ]");
}

TEST_F(PatchFormatTest, LongTextsFillTheirFieldsWithoutTerminator) {
  const std::string name15 = "ABCDEFGHIJKLMNO";
  const std::string name20 = "ABCDEFGHIJKLMNOPQRST";
  const std::string entry56(56, 'e');
  const std::string entry70 = std::string(56, 'f') + "-tail-cut-off";
  const std::string a = writeFile("a", "aaa");

  std::string error;
  ASSERT_TRUE(writePatch(path("long.patch"), name20, 1, {{entry56, a}, {entry70, a}}, "s", &error))
      << error;
  const std::string patch = readAll(path("long.patch"));
  EXPECT_EQ(patch.substr(4, 16), name20.substr(0, 16));
  EXPECT_EQ(patch.substr(128, 56), entry56);
  EXPECT_EQ(u32At(patch, 128 + 56), 3u);
  EXPECT_EQ(patch.substr(128 + 64 + 3, 56), entry70.substr(0, 56));

  Header header;
  std::vector<EntryInfo> entries;
  ASSERT_TRUE(readPatch(path("long.patch"), &header, &entries, &error)) << error;
  EXPECT_EQ(header.hardwareName, name20.substr(0, 16));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, entry56);
  EXPECT_EQ(entries[1].name, entry70.substr(0, 56));

  ASSERT_TRUE(writePatch(path("short.patch"), name15, 1, {}, "s", &error)) << error;
  const std::string shortPatch = readAll(path("short.patch"));
  EXPECT_EQ(shortPatch.substr(4, 16), name15 + '\0');
}

TEST_F(PatchFormatTest, EmptyPayloadFilesBecomeEmptyEntries) {
  const std::string empty = writeFile("empty", "");
  std::string error;
  ASSERT_TRUE(writePatch(path("e.patch"), "47RKT", 2011, {{"a", empty}, {"b", empty}},
                         buildInstallScript("2010", {"a", "b"}), &error))
      << error;
  Header header;
  std::vector<EntryInfo> entries;
  ASSERT_TRUE(readPatch(path("e.patch"), &header, &entries, &error)) << error;
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].dataSize, 0u);
  EXPECT_EQ(entries[1].dataSize, 0u);
  EXPECT_EQ(entries[1].dataOffset, 128u + 64 + 64);
  EXPECT_EQ(header.totalFiles, 3u);
  ASSERT_TRUE(extractEntry(path("e.patch"), entries[0], path("out"), &error)) << error;
  EXPECT_TRUE(fs::exists(path("out")));
  EXPECT_EQ(fs::file_size(path("out")), 0u);
}

TEST_F(PatchFormatTest, RoundTripKeepsEveryByteAndField) {
  // Sizes around the copy buffer's size catch off-by-one block handling.
  const std::vector<std::size_t> sizes = {1, 65535, 65536, 65537, 200000};
  std::vector<PayloadFile> payload;
  std::vector<std::string> contents;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    contents.push_back(randomBytes(sizes[i], static_cast<unsigned>(i + 7)));
    payload.push_back(
        {"file" + std::to_string(i), writeFile("in" + std::to_string(i), contents[i])});
  }
  std::vector<std::uint64_t> progress;
  std::string error;
  ASSERT_TRUE(writePatch(path("rt.patch"), "52HQX", -5, payload, "script-bytes", &error,
                         [&](std::uint64_t written, std::uint64_t total) {
                           progress.push_back(written);
                           EXPECT_LE(written, total);
                         }))
      << error;

  Header header;
  std::vector<EntryInfo> entries;
  ASSERT_TRUE(readPatch(path("rt.patch"), &header, &entries, &error)) << error;
  EXPECT_EQ(header.commandCode, 10u);
  EXPECT_EQ(header.hardwareName, "52HQX");
  EXPECT_EQ(header.version, -5);
  EXPECT_EQ(header.totalFiles, sizes.size() + 1);
  EXPECT_EQ(header.patchSize, fs::file_size(path("rt.patch")));
  ASSERT_EQ(entries.size(), sizes.size() + 1);
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    EXPECT_EQ(entries[i].name, payload[i].entryName);
    ASSERT_TRUE(extractEntry(path("rt.patch"), entries[i], path("x"), &error)) << error;
    EXPECT_EQ(readAll(path("x")), contents[i]) << "entry " << i;
  }
  EXPECT_EQ(entries.back().name, "patchrule.sh");
  ASSERT_TRUE(extractEntry(path("rt.patch"), entries.back(), path("x"), &error)) << error;
  EXPECT_EQ(readAll(path("x")), "script-bytes");

  ASSERT_FALSE(progress.empty());
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_EQ(progress.back(), header.patchSize);
}

TEST_F(PatchFormatTest, SizesOf4GiBAreRefusedBeforeWriting) {
  // Sparse files: nothing is really written to disk.
  const std::string huge = path("huge");
  std::ofstream(huge).close();
  fs::resize_file(huge, kSizeLimit);
  std::string error;
  EXPECT_FALSE(writePatch(path("h.patch"), "H", 1, {{"huge", huge}}, "s", &error));
  EXPECT_NE(error.find("4 GiB"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(path("h.patch")));

  // Two entries just below the limit each, whose patch would be exactly 4 GiB.
  const std::string half = path("half");
  std::ofstream(half).close();
  const std::uint64_t script = 1;
  const std::uint64_t first = (kSizeLimit - 128 - 3 * 64 - script) / 2;
  fs::resize_file(half, first);
  const std::string rest = path("rest");
  std::ofstream(rest).close();
  fs::resize_file(rest, kSizeLimit - 128 - 3 * 64 - script - first);
  error.clear();
  EXPECT_FALSE(writePatch(path("h.patch"), "H", 1, {{"a", half}, {"b", rest}}, "s", &error));
  EXPECT_NE(error.find("4 GiB"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(path("h.patch")));
}

TEST_F(PatchFormatTest, MissingInputLeavesNoPartialPatch) {
  const std::string a = writeFile("a", "abc");
  std::string error;
  EXPECT_FALSE(
      writePatch(path("m.patch"), "H", 1, {{"a", a}, {"b", path("no-such-file")}}, "s", &error));
  EXPECT_NE(error.find("no-such-file"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(path("m.patch")));

  error.clear();
  EXPECT_FALSE(writePatch(path("no-such-dir/m.patch"), "H", 1, {{"a", a}}, "s", &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(PatchFormatTest, DamagedPatchesAreRejected) {
  const std::string good = path("good.patch");
  std::string error;
  ASSERT_TRUE(writePatch(good, "47RKT", 2011, {{"app.bin", writeFile("a", randomBytes(300, 3))}},
                         buildInstallScript("2010", {"app.bin"}), &error))
      << error;
  const std::string bytes = readAll(good);
  const std::size_t scriptEntry = 128 + 64 + 300;

  struct Damage {
    const char* what;
    std::function<void(const std::string& file)> apply;
  };
  const std::vector<Damage> damages = {
      {"empty file", [&](const std::string& f) { writeFile(f, ""); }},
      {"shorter than a header", [&](const std::string& f) { writeFile(f, bytes.substr(0, 127)); }},
      {"last byte cut", [&](const std::string& f) { fs::resize_file(f, bytes.size() - 1); }},
      {"trailing byte", [&](const std::string& f) { std::ofstream(f, std::ios::app) << 'x'; }},
      {"wrong command code", [&](const std::string& f) { patchBytes(f, 0, le32(11)); }},
      {"size field differs",
       [&](const std::string& f) { patchBytes(f, 28, le32(bytes.size() + 1)); }},
      {"no entries", [&](const std::string& f) { patchBytes(f, 24, le32(0)); }},
      {"huge file count", [&](const std::string& f) { patchBytes(f, 24, le32(0xffffffffu)); }},
      {"one entry more", [&](const std::string& f) { patchBytes(f, 24, le32(3)); }},
      {"one entry less", [&](const std::string& f) { patchBytes(f, 24, le32(1)); }},
      {"data beyond the end",
       [&](const std::string& f) { patchBytes(f, 128 + 56, le32(0xfffffff0u)); }},
      {"script size too big",
       [&](const std::string& f) {
         patchBytes(f, scriptEntry + 56, le32(static_cast<std::uint32_t>(bytes.size())));
       }},
  };
  for (const Damage& damage : damages) {
    const std::string file = path("bad.patch");
    fs::copy_file(good, file, fs::copy_options::overwrite_existing);
    damage.apply(file);
    Header header;
    std::vector<EntryInfo> entries;
    error.clear();
    EXPECT_FALSE(readPatch(file, &header, &entries, &error)) << damage.what;
    EXPECT_FALSE(error.empty()) << damage.what;
  }
  EXPECT_FALSE(readPatch(path("absent.patch"), nullptr, nullptr, &error));
}

TEST_F(PatchFormatTest, ExtractRefusesAnEntryOutsideTheFile) {
  std::string error;
  ASSERT_TRUE(writePatch(path("p.patch"), "H", 1, {}, "script", &error)) << error;
  const auto size = fs::file_size(path("p.patch"));
  EntryInfo outside{"x", 10, size - 5};
  EXPECT_FALSE(extractEntry(path("p.patch"), outside, path("out"), &error));
  EntryInfo beyond{"x", 1, size + 100};
  EXPECT_FALSE(extractEntry(path("p.patch"), beyond, path("out"), &error));
  EXPECT_FALSE(fs::exists(path("out")));
}

TEST(EntryNameTest, OnlyPlainFileNamesAreSafe) {
  for (const char* ok : {"app.bin", "version.ini", "patchrule.sh", "...x", "a b"}) {
    EXPECT_TRUE(isPlainEntryName(ok)) << ok;
  }
  for (const char* bad : {"", ".", "..", "../etc/passwd", "a/b", "a\\b", "/abs", "tab\tname"}) {
    EXPECT_FALSE(isPlainEntryName(bad)) << bad;
  }
}

}  // namespace
