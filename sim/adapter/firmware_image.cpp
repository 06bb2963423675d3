#include "sim/adapter/firmware_image.h"

#include <cstdio>

namespace korvane::sim {

std::string imageText(const FirmwareImage& image) {
    std::string text;
    for (const std::string& entry : image.entries) {
        text += entry;
        text += '\n';
    }
    return text;
}

bool writeImageFile(const FirmwareImage& image, const std::string& path) {
    const std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const std::string text = imageText(image);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(temporary.c_str());
        return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace korvane::sim
