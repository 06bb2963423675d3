#include "channel/file_open.h"

namespace korvane {

std::FILE* openFileForReading(const std::string& path) {
    return std::fopen(path.c_str(), "rb");
}

}  // namespace korvane
