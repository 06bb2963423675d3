#pragma once

#include <string_view>

namespace korvane {

// Whether an adapter's answer is line noise rather than text: true when any byte lies outside
// printable ASCII (0x20 to 0x7E) and is neither CR nor LF. An adapter that talks at another line
// rate than ours gives such bytes; a real answer, even a boot loader's, never does.
bool isLineNoise(std::string_view answer);

}  // namespace korvane
