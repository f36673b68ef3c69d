// A language pack as the program applies it: the message lists, captions
// and hints it names.
#include <cstdint>
#include <cstdlib>

#include "fuzz_input.h"
#include "settings/language_pack.h"
#include "settings/message_lists.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto [component, text] = fuzzinput::firstLineAndRest(fuzzinput::asText(data, size));
  LanguagePack pack = LanguagePack::fromText(text);
  MessageLists lists;
  lists.fill();
  applyStringList(pack, lists);
  pack.caption(component);
  pack.hintOrText(component);
  pack.stringListEntry(MsgList::FWHints, 0);
  return 0;
}
