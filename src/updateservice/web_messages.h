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

// What the page shows of a server's text is bounded, so that a huge file
// cannot freeze the window or fill its memory.
inline constexpr std::size_t kMaxHistoryLines = 1000;
inline constexpr std::size_t kMaxHistoryBytes = 64 * 1024;
inline constexpr std::size_t kMaxCaptionBytes = 200;
inline constexpr std::size_t kMaxTooltipBytes = 2000;
inline constexpr std::size_t kMaxAddressBytes = 2000;

// The longest beginning of text of at most maxBytes that does not split a
// UTF-8 character.
std::string_view cutText(std::string_view text, std::size_t maxBytes);

struct HistoryText {
  std::vector<std::string> lines;
  bool cut = false;  // the text went on beyond the bounds
};

// The history split into lines at CR, LF or CR LF; a break at the very end
// starts no further line. At most maxLines lines of maxBytes in all.
HistoryText historyLines(std::string_view text, std::size_t maxLines = kMaxHistoryLines,
                         std::size_t maxBytes = kMaxHistoryBytes);

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
  // The caption or tooltip was cut to its bound.
  bool captionCut = false;
  bool tooltipCut = false;
};

// Message n: from its key up to the first "&;" after it, with its parts
// after "short=", "&content=" and "&url=". nullopt when the key, the end or
// a part is missing. Caption and tooltip are cut to their bounds; an
// address beyond its bound is dropped (a cut one would lead elsewhere).
std::optional<WebMessage> messageNumber(std::string_view file, int n);
