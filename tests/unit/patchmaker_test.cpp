// The patch maker's version rows and the files it hands to the device
// library, without widgets.
#include <gtest/gtest.h>

#include "patchmaker/file_to_patch.h"
#include "patchmaker/version_fields.h"

TEST(VersionFields, KeysThatReachAPart) {
  for (char c : std::string("0123456789\b")) EXPECT_EQ(classifyPartKey(QChar(c)), PartKey::Pass);
  EXPECT_EQ(classifyPartKey(QChar('.')), PartKey::NormaliseAndOn);
  for (char c : std::string("aZ -,+\r\x16\x1b"))
    EXPECT_EQ(classifyPartKey(QChar(c)), PartKey::Swallow) << int(c);
}

TEST(VersionFields, LeavingAPartWritesTwoDigits) {
  EXPECT_EQ(normalisedPart(""), "00");
  EXPECT_EQ(normalisedPart("7"), "07");
  EXPECT_EQ(normalisedPart("07"), "07");
  EXPECT_EQ(normalisedPart("99"), "99");
  EXPECT_EQ(normalisedPart(" 5"), "05");  // leading blanks are read past
  for (const char* pasted : {"a", "4x", "5 ", "-", " ", "1.2"})
    EXPECT_EQ(normalisedPart(pasted), std::nullopt) << pasted;
  EXPECT_EQ(notAnIntegerText("4x"), "'4x' is not a valid integer value");
}

TEST(VersionFields, ARowIsOneDecimalNumber) {
  EXPECT_EQ(versionNumberOf({"00", "01", "02", "03"}), 10203);
  EXPECT_EQ(versionNumberOf({"01", "02", "03", "04"}), 1020304);
  EXPECT_EQ(versionNumberOf({"12", "00", "00", "07"}), 12000007);
  EXPECT_EQ(versionNumberOf({"00", "00", "00", "00"}), 0);
  EXPECT_EQ(versionNumberOf({"99", "99", "99", "99"}), 99999999);
  const VersionRow pasted{"00", "4x", "00", "00"};
  EXPECT_EQ(versionNumberOf(pasted), std::nullopt);
  EXPECT_EQ(rowText(pasted), "004x0000");
  EXPECT_EQ(toInteger("2147483647"), 2147483647);
  EXPECT_EQ(toInteger("2147483648"), std::nullopt);
  EXPECT_EQ(toInteger("-2147483648"), INT32_MIN);
}

TEST(VersionFields, PatchFileName) {
  EXPECT_EQ(patchFileName("47RKT", 10203), "47RKT10203.patch");
  EXPECT_EQ(patchFileName("47RKT", 100), "47RKT100.patch");
  EXPECT_EQ(patchFileName("", 1020304), "1020304.patch");
}

TEST(FileToPatch, ATextThatDoesNotFitIsRefusedNeverCut) {
  // Buffers of 8 bytes: 7 characters and the NUL.
  const FileToPatch fits{"1234567", "/a b/cd"};  // "\"/a b/cd\"" is 9: too long
  EXPECT_FALSE(fitsBuffers(fits, 8, 8));
  EXPECT_TRUE(fitsBuffers(fits, 8, 10));
  EXPECT_FALSE(fitsBuffers({"12345678", "/x"}, 8, 8));

  char name[8 + 2], info[8 + 2];
  std::fill(std::begin(name), std::end(name), '#');
  std::fill(std::begin(info), std::end(info), '#');
  writeFileToPatch(fits, name, 8, info, 8);
  EXPECT_STREQ(name, "1234567");
  EXPECT_EQ(info[0], '\0');  // not a cut path that names another file
  EXPECT_EQ(name[8], '#');   // nothing past either buffer
  EXPECT_EQ(info[8], '#');
}
