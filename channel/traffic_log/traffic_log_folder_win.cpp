#include <direct.h>

#include "channel/traffic_log/traffic_log_folder.h"

namespace korvane {

void createTrafficLogFolder(const char* folder) {
    _mkdir(folder);
}

char trafficLogPathSeparator() {
    return '\\';
}

}  // namespace korvane
