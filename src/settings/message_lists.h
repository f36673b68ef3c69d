// The translatable message lists. Entries are fixed by their English
// defaults; a language pack can only replace existing entries. Reads may come
// from worker threads while the window's thread replaces entries during a
// language change, so every access is guarded.
#pragma once

#include <QString>
#include <array>
#include <shared_mutex>
#include <string>
#include <vector>

enum class MsgList {
  FWTipLabel,
  FWHints,
  UpdateProgressGauge,
  LoginButton,
  DevSearch,
  FlieListMenu,
  SampleMessages,
  PatchMaker,
  UpdateServer,
  Downloads,
  Boxes,
  Signing,
};

constexpr int kMsgListCount = 12;

class MessageLists {
 public:
  // Creates the lists and fills each with its English defaults.
  void fill();
  // The entry's current text; empty when the lists are released or the index
  // is out of range.
  std::string textOf(MsgList list, int index) const;
  int countOf(MsgList list) const;
  // Replaces an existing entry; an index beyond the list changes nothing.
  void replace(MsgList list, int index, const std::string& text);
  // Frees the lists; later reads give empty texts.
  void release();

  // The list's name, which is also its key stem in a language pack.
  static const char* nameOf(MsgList list);
  // The order in which a language pack overrides the lists.
  static const std::array<MsgList, kMsgListCount>& packOrder();

 private:
  mutable std::shared_mutex mutex_;
  std::array<std::vector<std::string>, kMsgListCount> lists_;
};

// An entry as the window shows it, read at the moment it is shown so that a
// language change applies at once. The program's lists live in AppState;
// the window reads them through TMainForm::msgText.
QString msgText(const MessageLists& lists, MsgList list, int index);
