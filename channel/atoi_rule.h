#pragma once

#include <string_view>

namespace korvane {

// The C atoi rule without its undefined overflow: leading blanks, an optional sign, then the
// leading decimal digits; no digits give 0, and values beyond int saturate.
int atoiRule(std::string_view text);

}  // namespace korvane
