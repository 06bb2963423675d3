#pragma once

#include <cstddef>
#include <cstring>

namespace korvane {

// The substring and prefix tests the flows apply to adapter answers and file texts.

inline bool contains(const char* text, const char* part) {
    return std::strstr(text, part) != nullptr;
}

// Whether `text` begins with `prefix`, compared over at most `count` characters.
inline bool beginsWith(const char* text, const char* prefix, std::size_t count) {
    return std::strncmp(text, prefix, count) == 0;
}

inline bool beginsWith(const char* text, const char* prefix) {
    return beginsWith(text, prefix, std::strlen(prefix));
}

}  // namespace korvane
