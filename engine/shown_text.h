#pragma once

#include <string>
#include <string_view>

namespace korvane {

// Text that comes from outside the program (an update file's strings, an adapter's answers, a
// path, a port name) as it may be put on a terminal, into a reason line or into the window: each
// control character (C0, DEL, and C1 whether written as UTF-8 or as a single byte) and each byte
// that is not part of well-formed UTF-8 becomes \xNN (two upper-case hex digits); everything else
// stays as it is, so UTF-8 text (a path with non-ASCII letters) shows as itself. The result holds
// no control character, so it can neither move the cursor nor start a line of its own, and
// escaping it again changes nothing. `keepTab` leaves tabs as they are.
std::string shownText(std::string_view text, bool keepTab = false);

// Bytes as UTF-8: a text that is well-formed UTF-8 as it is; any other text byte by byte as
// Latin-1 (an adapter's 8-bit answer), so the result is always well-formed.
std::string asUtf8(std::string_view bytes);

// Whether `bytes` is well-formed UTF-8 (shortest forms, no surrogates, at most U+10FFFF).
bool isUtf8(std::string_view bytes);

}  // namespace korvane
