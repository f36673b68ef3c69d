#include "language_pack.h"

#include <QByteArrayView>
#include <system_error>

std::optional<LanguagePack> LanguagePack::load(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  return LanguagePack(IniFile::load(file));
}

std::optional<std::string> LanguagePack::lookup(std::string_view section,
                                                std::string_view key) const {
  auto value = ini_.find(section, key);
  if (!value || value->empty()) return std::nullopt;
  return packTextToLocal(*value);
}

std::optional<std::string> LanguagePack::stringListEntry(MsgList list, int index) const {
  return lookup("StringList", MessageLists::nameOf(list) + std::to_string(index));
}

std::optional<std::string> LanguagePack::caption(std::string_view componentName) const {
  return lookup("Caption", componentName);
}

std::optional<std::string> LanguagePack::hintOrText(std::string_view componentName) const {
  return lookup("HintsandText", componentName);
}

std::optional<std::string> LanguagePack::hint(std::string_view componentName) const {
  return lookup("Hints", componentName);
}

std::optional<std::string> LanguagePack::accessibleName(std::string_view componentName) const {
  return lookup("Names", componentName);
}

std::optional<std::string> LanguagePack::qtLocale() const { return lookup("Language", "qt"); }

std::vector<std::pair<std::string, std::string>> LanguagePack::texts() const {
  std::vector<std::pair<std::string, std::string>> found;
  for (const std::string& key : ini_.keysOf("Texts"))
    if (auto value = lookup("Texts", key)) found.emplace_back(key, *value);
  return found;
}

std::string packTextToLocal(std::string_view utf8) {
  if (!QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())).isValidUtf8()) return {};
  return std::string(utf8);
}

void applyStringList(const LanguagePack& pack, MessageLists& lists, const StringListHooks& hooks) {
  for (MsgList list : MessageLists::packOrder()) {
    const int count = lists.countOf(list);
    for (int i = 0; i < count; ++i) {
      if (auto text = pack.stringListEntry(list, i)) lists.replace(list, i, *text);
    }
    if (list == MsgList::LoginButton && hooks.afterLoginButton) hooks.afterLoginButton();
    if (list == MsgList::FWTipLabel && hooks.afterFWTipLabel) hooks.afterFWTipLabel();
  }
}
