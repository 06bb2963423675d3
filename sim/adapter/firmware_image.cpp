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

namespace {

int digitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 0;
}

// Byte `index` of a hex text (0 past its end).
unsigned char byteAt(const std::string& text, std::size_t index) {
    if (2 * index + 1 >= text.size()) {
        return 0;
    }
    return static_cast<unsigned char>(digitValue(text[2 * index]) * 16 +
                                      digitValue(text[2 * index + 1]));
}

constexpr std::size_t kLinePayloadFirst = 2;  // line byte 3 without the type byte
constexpr std::size_t kLinePayloadEnd = 66;   // line byte 67 (the sum byte) without it

}  // namespace

std::string payloadBytes(const FirmwareImage& image) {
    std::string bytes;
    for (const std::string& entry : image.entries) {
        if (image.family == 2) {
            if (entry.compare(0, 4, "FFF1") == 0) {
                break;
            }
            const std::size_t count = entry.size() / 2;
            for (std::size_t i = kLinePayloadFirst; i < kLinePayloadEnd && i < count; ++i) {
                bytes += static_cast<char>(byteAt(entry, i));
            }
        } else {
            const std::size_t length = byteAt(entry, 0) * 256u + byteAt(entry, 1);
            for (std::size_t i = 0; i < length && 2 + i < entry.size() / 2; ++i) {
                bytes += static_cast<char>(byteAt(entry, 2 + i));
            }
        }
    }
    return bytes;
}

bool writeImageFile(const FirmwareImage& image, const std::string& path, ImageFormat format) {
    const std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const std::string text = format == ImageFormat::Lines ? imageText(image) : payloadBytes(image);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(temporary.c_str());
        return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace korvane::sim
