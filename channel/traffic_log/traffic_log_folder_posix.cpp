#include <sys/stat.h>

#include "channel/traffic_log/traffic_log_folder.h"

namespace korvane {

void createTrafficLogFolder(const char* folder) {
    ::mkdir(folder, 0777);
}

char trafficLogPathSeparator() {
    return '/';
}

}  // namespace korvane
