// Texts that came from the network (identifiers, hardware names, the update
// server's catalogue) hold whatever bytes the sender chose. Before they reach
// a terminal or a JSON report they go through escapedText: valid UTF-8 stays
// as it is, a backslash is doubled, and each byte of a control character
// (U+0000-U+001F, U+007F-U+009F) or of a sequence that is not UTF-8 becomes
// \xNN (two lower-case hex digits). The result is valid UTF-8 without control
// characters, and the original bytes can be read back from it.
#pragma once

#include <string>
#include <string_view>

std::string escapedText(std::string_view bytes);
