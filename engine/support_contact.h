#pragma once

namespace korvane {

// Where the owner of a product too old to be updated turns for help. It ends the refusal text
// of the version gate, in square brackets. Set it here, and only here.
inline constexpr const char kSupportContact[] = "support@korvane.example";

}  // namespace korvane
