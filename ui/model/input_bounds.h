#pragma once

#include <cstddef>
#include <string_view>

#include "engine/update_job.h"

namespace korvane {

// Longest firmware path, in UTF-8 bytes, that the job keeps whole.
inline constexpr std::size_t kMaxPathBytes = UpdateJob::kMaxPathLength;
// Longest WIFI address or port text, in UTF-8 bytes, so the descriptor never cuts either field.
inline constexpr std::size_t kMaxFieldBytes = 255;

// Input that would pass its bound is refused whole, never cut: a cut path could name another
// file, a cut address another adapter.
inline bool fitsBound(std::string_view utf8, std::size_t limit) {
    return utf8.size() <= limit;
}

}  // namespace korvane
