// The file page's rules without a window: reply entries, icons, paths, Up,
// download codes and the local name of a download.
#include <gtest/gtest.h>

#include <cstring>

#include "remotefiles/remote_paths.h"

using namespace remotefiles;

namespace {

void putEntry(char* buffer, int index, char kind, const std::string& name) {
  char* e = buffer + index * kEntrySize;
  e[0] = kind;
  std::memcpy(e + 1, name.data(), std::min(name.size(), kEntrySize - 1));
}

}  // namespace

TEST(ListingReply, EntriesAreReadWholeOrSkipped) {
  char buffer[kReplyBufferSize] = {};
  const std::string name47(47, 'n');
  putEntry(buffer, 0, '1', "DCIM");
  putEntry(buffer, 1, '2', name47);  // no 0x00 inside the entry
  putEntry(buffer, 2, '\0', "ghost");
  putEntry(buffer, 3, '2', "");
  putEntry(buffer, 4, '3', "odd");
  putEntry(buffer, 5, '1', name47 + "x");  // the next entry's kind is 0
  ASSERT_TRUE(entryAt(buffer, 0));
  EXPECT_EQ(entryAt(buffer, 0)->name, "DCIM");
  ASSERT_TRUE(entryAt(buffer, 1));
  EXPECT_EQ(entryAt(buffer, 1)->name, name47);
  EXPECT_FALSE(entryAt(buffer, 2));  // kind 0x00: the name reads as empty
  EXPECT_FALSE(entryAt(buffer, 3));
  EXPECT_EQ(entryAt(buffer, 4)->kind, '3');
  EXPECT_EQ(entryAt(buffer, 5)->name, name47);
}

TEST(ListingReply, CountStaysWithinTheBuffer) {
  EXPECT_EQ(boundedEntryCount(0), 0);
  EXPECT_EQ(boundedEntryCount(7), 7);
  EXPECT_EQ(boundedEntryCount(10), 10);
  EXPECT_EQ(boundedEntryCount(11), 10);
  EXPECT_EQ(boundedEntryCount(100000), 10);
  EXPECT_EQ(boundedEntryCount(-3), 0);
}

TEST(ExtensionRule, LastDotUnlessBackslashOrColonFollows) {
  EXPECT_EQ(extensionOf("clip.mp4"), ".mp4");
  EXPECT_EQ(extensionOf("a.tar.gz"), ".gz");
  EXPECT_EQ(extensionOf("DCIM/.thumbs"), ".thumbs");
  EXPECT_EQ(extensionOf("v1.2/README"), ".2/README");  // the slash plays no part
  EXPECT_FALSE(extensionOf("a.b\\c"));
  EXPECT_FALSE(extensionOf("a.b:c"));
  EXPECT_FALSE(extensionOf("README"));
}

TEST(Icons, FolderVideoOrDocument) {
  EXPECT_EQ(imageIndexFor('1', "DCIM"), kFolderImage);
  EXPECT_EQ(imageIndexFor('3', "odd.mp4"), kFolderImage);
  EXPECT_EQ(imageIndexFor('2', "clip.mp4"), kVideoImage);
  EXPECT_EQ(imageIndexFor('2', "clip.avi"), kVideoImage);
  EXPECT_EQ(imageIndexFor('2', "clip.MP4"), kDocumentImage);
  EXPECT_EQ(imageIndexFor('2', "clip.mkv"), kDocumentImage);
  EXPECT_EQ(imageIndexFor('2', "README"), kDocumentImage);
}

TEST(DevicePaths, FullRelativeAndShown) {
  EXPECT_EQ(fullDevicePath("", "DCIM"), "/sdcard/DCIM");
  EXPECT_EQ(fullDevicePath("DCIM/100MEDIA", "a.jpg"), "/sdcard/DCIM/100MEDIA/a.jpg");
  EXPECT_EQ(fullDevicePath("", "my clip, 1.mp4"), "/sdcard/my clip, 1.mp4");
  EXPECT_EQ(relativePathOf("/sdcard/DCIM/a.jpg"), "DCIM/a.jpg");
  EXPECT_EQ(relativePathOf("/sdcard"), "");
  EXPECT_EQ(addressBoxText(""), "/sdcard");
  EXPECT_EQ(addressBoxText("DCIM"), "/sdcard/DCIM");
  EXPECT_EQ(listingRequestCode("", KESTRUM_REQ_LIST_DIR), KESTRUM_REQ_LIST_ROOT);
  EXPECT_EQ(listingRequestCode("DCIM", KESTRUM_REQ_LIST_DIR), KESTRUM_REQ_LIST_DIR);
}

TEST(ListingReply, AFullFieldNameEndsWhereTheNextEntryBegins) {
  char buffer[kReplyBufferSize] = {};
  const std::string name47(47, 'n');
  putEntry(buffer, 0, '2', name47);
  putEntry(buffer, 1, '1', "DCIM");
  putEntry(buffer, 9, '2', name47);  // the last entry the buffer holds
  EXPECT_EQ(entryAt(buffer, 0)->name, name47);
  EXPECT_EQ(entryAt(buffer, 1)->name, "DCIM");
  EXPECT_EQ(entryAt(buffer, 9)->name, name47);
}

TEST(UpRule, CutsExactlyOneComponentWhateverTheDots) {
  EXPECT_EQ(parentDirOf("DCIM"), "");
  EXPECT_EQ(parentDirOf("DCIM/x"), "DCIM");
  EXPECT_EQ(parentDirOf("DCIM/.thumbs"), "DCIM");
  EXPECT_EQ(parentDirOf("backup.v1/2026-11"), "backup.v1");
  EXPECT_EQ(parentDirOf("v1.2/sub.d/x.y"), "v1.2/sub.d");
  EXPECT_EQ(parentDirOf(""), "");
}

TEST(DownloadTarget, SideFilesOfTheLibraryAreRecognised) {
  EXPECT_TRUE(isSideFileOf("a.mp4.0123456789ab.part", "a.mp4"));
  EXPECT_FALSE(isSideFileOf("a.mp4.0123456789a.part", "a.mp4"));   // 11 digits
  EXPECT_FALSE(isSideFileOf("a.mp4.0123456789ax.part", "a.mp4"));  // not hex
  EXPECT_FALSE(isSideFileOf("b.mp4.0123456789ab.part", "a.mp4"));
  EXPECT_FALSE(isSideFileOf("a.mp4.0123456789ab.tmp", "a.mp4"));
  // A checked download of the same name receives under another name.
  const std::string unchecked = uncheckedPathFor("a.mp4", 3);
  EXPECT_NE(unchecked, "a.mp4");
  EXPECT_FALSE(isSideFileOf(unchecked + ".0123456789ab.part", "a.mp4"));
  EXPECT_TRUE(isSideFileOf(unchecked + ".0123456789ab.part", unchecked));
  EXPECT_NE(uncheckedPathFor("a.mp4", 4), unchecked);
}

TEST(PathField, LongerPathsDoNotFit) {
  EXPECT_TRUE(fitsPathField(std::string(257, 'p')));
  EXPECT_FALSE(fitsPathField(std::string(258, 'p')));
}

TEST(DownloadCode, PicturesNeverChecked) {
  EXPECT_EQ(downloadRequestCode("a.jpg", true), KESTRUM_REQ_GET_FILE);
  EXPECT_EQ(downloadRequestCode("a.jpeg", true), KESTRUM_REQ_GET_FILE);
  EXPECT_EQ(downloadRequestCode("a.png", true), KESTRUM_REQ_GET_FILE);
  EXPECT_EQ(downloadRequestCode("a.bmp", true), KESTRUM_REQ_GET_FILE);
  EXPECT_EQ(downloadRequestCode("a.JPG", true), KESTRUM_REQ_GET_FILE_MD5);  // case-sensitive
  EXPECT_EQ(downloadRequestCode("clip.mp4", true), KESTRUM_REQ_GET_FILE_MD5);
  EXPECT_EQ(downloadRequestCode("clip.mp4", false), KESTRUM_REQ_GET_FILE);
  EXPECT_EQ(downloadRequestCode("README", true), KESTRUM_REQ_GET_FILE_MD5);
}

TEST(DownloadTarget, OnlyAPlainLastComponentBecomesALocalName) {
  EXPECT_EQ(downloadFileName("DCIM/100MEDIA/a.jpg"), "a.jpg");
  EXPECT_EQ(downloadFileName("a.jpg"), "a.jpg");
  EXPECT_EQ(downloadFileName("../../x"), "x");  // stays inside the folder
  EXPECT_EQ(downloadFileName("my clip, 1.mp4"), "my clip, 1.mp4");
  EXPECT_FALSE(downloadFileName(""));
  EXPECT_FALSE(downloadFileName("DCIM/"));
  EXPECT_FALSE(downloadFileName("DCIM/.."));
  EXPECT_FALSE(downloadFileName(".."));
  EXPECT_FALSE(downloadFileName("DCIM/."));
  EXPECT_FALSE(downloadFileName(std::string("a\0b", 3)));
  EXPECT_EQ(downloadTargetPath("/home/op/dl", "a.jpg"), "/home/op/dl/a.jpg");
  EXPECT_EQ(downloadTargetPath("/home/op/dl/", "a.jpg"), "/home/op/dl/a.jpg");
}
