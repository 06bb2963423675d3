#include "engine/line_noise.h"

namespace korvane {

bool isLineNoise(std::string_view answer) {
    for (const char c : answer) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\r' || byte == '\n') {
            continue;
        }
        if (byte < 0x20 || byte > 0x7E) {
            return true;
        }
    }
    return false;
}

}  // namespace korvane
