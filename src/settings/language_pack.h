// One language pack: an INI file whose values are UTF-8 text, with the
// sections "StringList" (message-list entries), "Caption" and "HintsandText"
// (texts of the main window's components, keyed by component name).
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ini_file.h"
#include "message_lists.h"

class LanguagePack {
 public:
  // nullopt when no file exists at `file`.
  static std::optional<LanguagePack> load(const std::filesystem::path& file);
  // A pack from the text of its file.
  static LanguagePack fromText(std::string_view text) {
    return LanguagePack(IniFile::fromText(text));
  }

  // The converted value of "StringList" key list name + index.
  std::optional<std::string> stringListEntry(MsgList list, int index) const;
  // The converted caption for the component; nullopt when absent or empty.
  std::optional<std::string> caption(std::string_view componentName) const;
  // The converted text (edits) or hint (panels, buttons) for the component;
  // nullopt when absent or empty.
  std::optional<std::string> hintOrText(std::string_view componentName) const;
  // "Hints": the tooltip of any named control, for controls whose hint the
  // "HintsandText" section cannot reach (lists, trees, the other edits).
  std::optional<std::string> hint(std::string_view componentName) const;
  // "Names": what a screen reader calls the control, for controls whose
  // caption does not name them (fields, lists, panels).
  std::optional<std::string> accessibleName(std::string_view componentName) const;
  // "Language" key "qt": the locale of Qt's own texts for this pack, such as
  // "zh_CN"; nullopt leaves Qt's built-in English.
  std::optional<std::string> qtLocale() const;
  // "Texts": texts the window composes when it shows them (notices, the
  // device list's marks), keyed by name; absent and empty values left out.
  std::vector<std::pair<std::string, std::string>> texts() const;

 private:
  explicit LanguagePack(IniFile ini) : ini_(std::move(ini)) {}
  std::optional<std::string> lookup(std::string_view section, std::string_view key) const;
  IniFile ini_;
};

// Pack values are UTF-8 and shown in the local code page, which is UTF-8
// here: valid text passes unchanged, anything else becomes an empty text.
std::string packTextToLocal(std::string_view utf8);

// Window actions that must run between the list passes.
struct StringListHooks {
  std::function<void()> afterLoginButton;  // the login button takes its entry 0
  std::function<void()> afterFWTipLabel;   // the tip label takes its entry 0
};

// Replaces the message-list entries that the pack names, list by list in
// MessageLists::packOrder(); absent and empty values leave entries as they are.
void applyStringList(const LanguagePack& pack, MessageLists& lists,
                     const StringListHooks& hooks = {});
