#include <string.h>

#include "channel/open_failure.h"

namespace korvane {

std::string systemErrorText(int systemCode) {
    if (systemCode == 0) {
        return {};
    }
    char buffer[256] = {};
    // The GNU form returns the text, which may or may not be the buffer.
    return ::strerror_r(systemCode, buffer, sizeof buffer);
}

}  // namespace korvane
