// The device list from one search to the next: places kept, cameras that
// did not answer marked, newcomers at the end, shared identifiers found.
#include <gtest/gtest.h>

#include "scripted_device_link.h"
#include "session/device_list.h"

namespace {

using Records = std::vector<DeviceSearchRecord>;

// The list after searches whose answers are given in order.
std::vector<ListedDevice> afterSearches(std::vector<Records> searches) {
  std::vector<ListedDevice> list;
  for (Records& found : searches) {
    for (std::size_t i = 0; i < found.size(); ++i)
      found[i].next = i + 1 < found.size() ? &found[i + 1] : nullptr;
    list = mergeSearchResult(std::move(list), found.empty() ? nullptr : found.data());
  }
  return list;
}

DeviceSearchRecord cam(const std::string& address, const std::string& id) {
  return ScriptedDeviceLink::record(address, id);
}

std::string rows(const std::vector<ListedDevice>& list) {
  std::string text;
  for (const ListedDevice& d : list)
    text += d.record.identifier().toStdString() + "@" + d.record.address().toStdString() +
            (d.answered ? "" : " silent") + (d.identifierClash ? " clash" : "") + "\n";
  return text;
}

}  // namespace

TEST(DeviceList, ACameraThatDidNotAnswerKeepsItsPlaceMarked) {
  // The rebooting camera is missing from the second search: the cameras
  // after it must not move up into its place.
  const auto list =
      afterSearches({{cam("127.0.0.2", "CAM1"), cam("127.0.0.3", "CAM2"), cam("127.0.0.4", "CAM3")},
                     {cam("127.0.0.3", "CAM2"), cam("127.0.0.4", "CAM3")}});
  EXPECT_EQ(rows(list), "CAM1@127.0.0.2 silent\nCAM2@127.0.0.3\nCAM3@127.0.0.4\n");
  EXPECT_EQ(unansweredCount(list), 1);
}

TEST(DeviceList, AnswersInAnotherOrderUpdateInPlaceAndNewcomersFollow) {
  Records second = {cam("127.0.0.9", "CAM9"), cam("127.0.0.3", "CAM2"), cam("127.0.0.2", "CAM1")};
  second[2].address[20] = 'x';  // bytes past the text are taken too
  auto list = afterSearches({{cam("127.0.0.2", "CAM1"), cam("127.0.0.3", "CAM2")}, second});
  EXPECT_EQ(rows(list), "CAM1@127.0.0.2\nCAM2@127.0.0.3\nCAM9@127.0.0.9\n");
  EXPECT_EQ(list[0].record.data[128 + 20], 'x');
  // Back after a reboot: unmarked where it was. A camera that moved to
  // another address is another entry.
  list = afterSearches({{cam("127.0.0.2", "CAM1"), cam("127.0.0.3", "CAM2")},
                        {cam("127.0.0.3", "CAM2")},
                        {cam("127.0.0.2", "CAM1"), cam("127.0.0.7", "CAM2")}});
  EXPECT_EQ(rows(list), "CAM1@127.0.0.2\nCAM2@127.0.0.3 silent\nCAM2@127.0.0.7\n");
  // Nothing answering leaves everything marked.
  list = afterSearches({{cam("127.0.0.2", "CAM1")}, {}});
  EXPECT_EQ(rows(list), "CAM1@127.0.0.2 silent\n");
}

TEST(DeviceList, AnIdentifierGivenFromTwoAddressesIsAClash) {
  auto list = afterSearches({{cam("127.0.0.2", "CAM1"), cam("127.0.0.3", "CAM2"),
                              cam("127.0.0.5", "CAM1"), cam("127.0.0.6", "CAM1")}});
  EXPECT_EQ(rows(list),
            "CAM1@127.0.0.2 clash\nCAM2@127.0.0.3\nCAM1@127.0.0.5 clash\nCAM1@127.0.0.6 clash\n");
  EXPECT_EQ(sameIdentifierAddresses(list, 0), (QStringList{"127.0.0.5", "127.0.0.6"}));
  EXPECT_TRUE(sameIdentifierAddresses(list, 1).isEmpty());
  // Only cameras that answered clash; one camera answering twice does not;
  // identifiers that only look alike (not UTF-8) do not.
  list = afterSearches({{cam("127.0.0.2", "CAM1"), cam("127.0.0.5", "CAM1")},
                        {cam("127.0.0.2", "CAM1"), cam("127.0.0.2", "CAM1"),
                         cam("127.0.0.8", "\xb4\xf3"), cam("127.0.0.9", "\xba\xf3")}});
  EXPECT_FALSE(list[0].identifierClash);
  EXPECT_FALSE(list[1].identifierClash);
  EXPECT_EQ(list.size(), 5u);
  EXPECT_FALSE(list[3].identifierClash);
  EXPECT_FALSE(list[4].identifierClash);
}
