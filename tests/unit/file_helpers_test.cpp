#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/file_helpers.h"

namespace fs = std::filesystem;

namespace {

struct TempDir {
  fs::path path;
  TempDir() {
    path = fs::temp_directory_path() /
           ("tovarin-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::create_directories(path);
  }
  ~TempDir() { fs::remove_all(path); }
  static inline int counter = 0;
};

void writeFile(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

}  // namespace

TEST(FileMd5Hex, MatchesTheRfcVectorsInLowerCase) {
  TempDir dir;
  const std::pair<std::string, std::string> vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"}};
  for (const auto& [text, digest] : vectors) {
    writeFile(dir.path / "f", text);
    EXPECT_EQ(FileMd5Hex((dir.path / "f").string()), digest) << text;
  }
}

TEST(FileMd5Hex, StreamsFilesLargerThanItsBuffer) {
  TempDir dir;
  std::string bytes(1024 * 1024 + 7, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31 + 7);
  writeFile(dir.path / "big", bytes);
  // Same digest as the whole buffer digested at once through a fresh file.
  writeFile(dir.path / "copy", bytes);
  const std::string a = FileMd5Hex((dir.path / "big").string());
  EXPECT_EQ(a.size(), 32u);
  EXPECT_EQ(a, FileMd5Hex((dir.path / "copy").string()));
  bytes.back() ^= 1;
  writeFile(dir.path / "copy", bytes);
  EXPECT_NE(a, FileMd5Hex((dir.path / "copy").string()));
}

TEST(FileMd5Hex, FailsWithTheOpenErrorForAMissingFile) {
  TempDir dir;
  try {
    FileMd5Hex((dir.path / "missing").string());
    FAIL() << "no error";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code().value(), ENOENT);
  }
}

TEST(ClearDirectory, EmptiesEveryLevelButKeepsTheFolders) {
  TempDir dir;
  fs::create_directories(dir.path / "a" / "b");
  writeFile(dir.path / "0", "x");
  writeFile(dir.path / ".hidden", "x");
  writeFile(dir.path / "a" / "1", "x");
  writeFile(dir.path / "a" / "b" / "2", "x");
  writeFile(dir.path / "readonly", "x");
  ::chmod((dir.path / "readonly").c_str(), 0444);
  ClearDirectory(dir.path.string());
  EXPECT_TRUE(fs::is_directory(dir.path / "a" / "b"));
  std::size_t files = 0;
  for (auto& e : fs::recursive_directory_iterator(dir.path))
    if (!e.is_directory()) ++files;
  EXPECT_EQ(files, 0u);
}

TEST(ClearDirectory, LeavesWhatALinkPointsAt) {
  TempDir dir, outside;
  fs::create_directories(dir.path / "d");
  writeFile(outside.path / "keep", "x");
  fs::create_directory_symlink(outside.path, dir.path / "d" / "link");
  ClearDirectory(dir.path.string());
  EXPECT_TRUE(fs::exists(outside.path / "keep"));
  EXPECT_FALSE(fs::exists(dir.path / "d" / "link"));
}

TEST(ClearDirectory, MissingFolderIsSilent) {
  TempDir dir;
  EXPECT_NO_THROW(ClearDirectory((dir.path / "none").string()));
}
