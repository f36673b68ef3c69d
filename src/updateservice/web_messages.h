// The update server's two texts for the firmware page, taken apart: the
// update history of a hardware name and the message file
// "RandomMessages.txt":
//
//   count=2;
//   1short=caption&content=tooltip&url=http://example.net/a&;
//   2short=...&;
//
// Message k is found by the first occurrence of its key k + "short=".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A hardware name for which no history is asked: empty or "UNKNOW".
bool isUnknownHardware(std::string_view hardwareName);

// The history split into lines at CR, LF or CR LF; a break at the very end
// starts no further line.
std::vector<std::string> historyLines(std::string_view text);

struct MessageCount {
  enum Kind {
    None,        // no count, an empty one, or 0 and less: nothing to show
    Unreadable,  // a count that is not a number
    Some,        // value messages are offered
  } kind = None;
  int value = 0;
};

// The text after the first "count=" up to the next ";".
MessageCount messageCount(std::string_view file);

struct WebMessage {
  std::string caption;  // the short text
  std::string tooltip;  // the content text
  std::string address;  // what a click opens
};

// Message n: from its key up to the first "&;" after it, with its parts
// after "short=", "&content=" and "&url=". nullopt when the key, the end or
// a part is missing.
std::optional<WebMessage> messageNumber(std::string_view file, int n);
