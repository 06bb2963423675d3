#include <errno.h>

#include "channel/traffic_log/traffic_log_open.h"

namespace korvane {

// Text mode: each "\n" becomes the line end of the platform.
std::FILE* openTrafficLogFile(const std::string& path, int& systemCode) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "a+");
    systemCode = file == nullptr ? errno : 0;
    return file;
}

}  // namespace korvane
