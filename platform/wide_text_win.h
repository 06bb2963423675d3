#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// UTF-8 to UTF-16 for the wide Windows calls; nothing when `text` is not valid UTF-8.
std::optional<std::wstring> wideFromUtf8(std::string_view text);
// UTF-16 from a wide Windows call to UTF-8; unpaired surrogates become U+FFFD.
std::string utf8FromWide(std::wstring_view text);

}  // namespace korvane
