#include "settings/message_lists.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(MessageListsTest, DefaultCountsAndQuotedEntry) {
  MessageLists lists;
  lists.fill();
  const std::pair<MsgList, int> counts[] = {
      {MsgList::FWTipLabel, 22},    {MsgList::FWHints, 13},   {MsgList::UpdateProgressGauge, 4},
      {MsgList::LoginButton, 2},    {MsgList::DevSearch, 2},  {MsgList::FlieListMenu, 2},
      {MsgList::SampleMessages, 1}, {MsgList::PatchMaker, 3}, {MsgList::UpdateServer, 19},
      {MsgList::Downloads, 17},     {MsgList::Boxes, 19},     {MsgList::Signing, 7}};
  for (auto [list, count] : counts) EXPECT_EQ(lists.countOf(list), count) << lists.nameOf(list);
  EXPECT_NE(lists.textOf(MsgList::FWHints, 12)
                .find("if \"Device has no available update "
                      "version!\" is shown"),
            std::string::npos);
}

TEST(MessageListsTest, ReplaceBeyondCountChangesNothing) {
  MessageLists lists;
  lists.fill();
  lists.replace(MsgList::FWTipLabel, 22, "x");
  lists.replace(MsgList::FWTipLabel, -1, "x");
  EXPECT_EQ(lists.countOf(MsgList::FWTipLabel), 22);
  EXPECT_EQ(lists.textOf(MsgList::FWTipLabel, 22), "");
  lists.release();
  EXPECT_EQ(lists.textOf(MsgList::LoginButton, 0), "");
}

TEST(MessageListsTest, ReadsDuringReplaceSeeWholeTexts) {
  MessageLists lists;
  lists.fill();
  const std::string oldText = lists.textOf(MsgList::FWHints, 12);
  const std::string newText(4096, 'n');
  std::atomic<bool> stop{false};
  std::atomic<int> badReads{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r) {
    readers.emplace_back([&] {
      while (!stop) {
        const std::string t = lists.textOf(MsgList::FWHints, 12);
        if (t != oldText && t != newText) ++badReads;
      }
    });
  }
  for (int i = 0; i < 2000; ++i) lists.replace(MsgList::FWHints, 12, i % 2 ? oldText : newText);
  stop = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(badReads, 0);
}
