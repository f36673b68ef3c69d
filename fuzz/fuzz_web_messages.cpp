// "RandomMessages.txt" and an update history as the firmware page reads
// them.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "fuzz_input.h"
#include "updateservice/web_messages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text = fuzzinput::asText(data, size);
  MessageCount count = messageCount(text);
  if (count.kind == MessageCount::Some) {
    // Every number up to the count is asked for; a huge count is the
    // program's loop bound, not the parser's.
    for (int n = 1; n <= std::min(count.value, 64); ++n) messageNumber(text, n);
  }
  messageNumber(text, 1);
  historyLines(text);
  return 0;
}
