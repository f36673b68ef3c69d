// Pack: the verified downloads "0", "1", ... of the work folder bound into
// hardware name + version + ".patch" beside them.
#include <gtest/gtest.h>

#include "temp_folder.h"
#include "updateservice/packer.h"

namespace fs = std::filesystem;

namespace {

std::string le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

std::string field(const std::string& text, std::size_t width) {
  std::string out = text.substr(0, width);
  out.resize(width, '\0');
  return out;
}

class PackerTest : public ::testing::Test {
 protected:
  std::string folder() const { return dir_.path().string() + "/"; }
  TempFolder dir_;
};

}  // namespace

TEST_F(PackerTest, TheExamplePatchByteForByte) {
  std::string app(1000, '\0');
  for (std::size_t i = 0; i < app.size(); ++i) app[i] = static_cast<char>(i * 7 + 3);
  writeFile(dir_.path() / "0", app);

  const PackResult result = Pack(folder(), "H1", 2010, {"app.bin"}, "2009");
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.patchPath, folder() + "H12010.patch");

  const std::string script =
      "#!/bin/sh\n"
      "if [ -f \"/tmp/exshell.sh\" ]\n"
      "then\n"
      "/tmp/exshell.sh 2009\n"
      "fi\n"
      "cp -f /tmp/app.bin /mnt/mtd/\n"
      "if [ -f \"/tmp/version.ini\" ]\n"
      "then\n"
      "cp /tmp/version.ini /mnt/mtd/ -f\n"
      "fi\n"
      "echo \"========= update OK!!! =======\"\n";
  const std::uint32_t size = 128 + (64 + 1000) + (64 + script.size());
  const std::string expected = le32(10) + field("H1", 16) + le32(2010) + le32(2) + le32(size) +
                               std::string(96, '\0') + field("app.bin", 56) + le32(1000) +
                               std::string(4, '\0') + app + field("patchrule.sh", 56) +
                               le32(script.size()) + std::string(4, '\0') + script;
  EXPECT_TRUE(readFile(result.patchPath) == expected);
}

TEST_F(PackerTest, FilesGoInNameOrderAndFullFieldsHaveNoTerminator) {
  const std::string hardware = "ABCDEFGHIJKLMNOP";  // 16 bytes
  const std::string longName(56, 'n');
  writeFile(dir_.path() / "0", "first");
  writeFile(dir_.path() / "1", "");
  const PackResult result = Pack(folder(), hardware, 7, {longName, "empty.bin"}, "6");
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.patchPath, folder() + hardware + "7.patch");

  const std::string patch = readFile(result.patchPath);
  EXPECT_EQ(patch.substr(4, 16), hardware);
  EXPECT_EQ(patch.substr(24, 4), le32(3));
  EXPECT_EQ(patch.substr(128, 56), longName);
  EXPECT_EQ(patch.substr(128 + 56, 8), le32(5) + std::string(4, '\0'));
  EXPECT_EQ(patch.substr(128 + 64, 5), "first");
  EXPECT_EQ(patch.substr(128 + 69, 64), field("empty.bin", 56) + le32(0) + std::string(4, '\0'));
  EXPECT_NE(patch.find("cp -f /tmp/" + longName + " /mnt/mtd/\ncp -f /tmp/empty.bin /mnt/mtd/\n"),
            std::string::npos);
}

TEST_F(PackerTest, UnsafeNamesAndOversizedFilesLeaveNoPatch) {
  writeFile(dir_.path() / "0", "x");
  EXPECT_FALSE(Pack(folder(), "H1", 1, {"a;reboot"}, "0").ok);
  EXPECT_FALSE(Pack(folder(), "H1", 1, {"$(reboot)"}, "0").ok);
  // The hardware name comes from the device; it names a file here.
  EXPECT_FALSE(Pack(folder(), "../H1", 1, {"app.bin"}, "0").ok);
  // A download that is not there.
  EXPECT_FALSE(Pack(folder(), "H1", 1, {"app.bin", "ui.res"}, "0").ok);

  // The size fields hold 32 bits: a file of 4 GiB (sparse here) is refused.
  fs::resize_file(dir_.path() / "0", std::uint64_t{1} << 32);
  const PackResult big = Pack(folder(), "H1", 1, {"app.bin"}, "0");
  EXPECT_FALSE(big.ok);
  EXPECT_FALSE(big.error.empty());

  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir_.path()))
    left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"0"});
  fs::remove(dir_.path() / "0");
}
