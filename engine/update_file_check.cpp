// The format checks of both update-file families. Each walks the loaded buffer once with the line
// reader, converting one line at a time into fixed buffers; the file is never copied.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "engine/model_catalog.h"
#include "engine/update_file.h"

namespace korvane {

namespace {

// Family 1: the information record needs at least its first byte, two length bytes and the total.
constexpr std::size_t kMinInfoData = 7;
// Family 2: bytes per line, where the strings start, and where the byte total sits.
constexpr std::size_t kLineBytes = 68;
constexpr std::size_t kStringsStart = 7;
constexpr std::size_t kTotalAt = 63;

std::int32_t usableSize(const UpdateFile& file) {
    const auto held = static_cast<std::int64_t>(file.data.size());
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(file.size, 0, held));
}

std::uint32_t readBigEndian32(const std::uint8_t* bytes) {
    return (static_cast<std::uint32_t>(bytes[0]) << 24) |
           (static_cast<std::uint32_t>(bytes[1]) << 16) |
           (static_cast<std::uint32_t>(bytes[2]) << 8) | static_cast<std::uint32_t>(bytes[3]);
}

// Reads one masked string whose length byte sits at `at` into `field`. The string must end before
// `end` and fit the field's 127 characters. On success `at` moves past the string.
bool readMaskedString(const std::uint8_t* bytes, std::size_t& at, std::size_t end,
                      char (&field)[128]) {
    field[0] = '\0';
    if (at >= end) {
        return false;
    }
    const std::size_t length = bytes[at] ^ kLengthMask;
    if (length > sizeof field - 1 || length > end - at - 1) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        field[i] = static_cast<char>(bytes[at + 1 + i] ^ kCharMask);
    }
    field[length] = '\0';
    at += 1 + length;
    return true;
}

bool isLineEnd(std::uint8_t c) {
    return c == '\r' || c == '\n';
}

// A family-2 line is 136 hex digits and then exactly one line end: CR LF, CR or LF. Given that
// the line holds 136 digits, a line end right after the 136th character means every character
// before it was a digit.
bool isSoundFamily2Line(const std::uint8_t* data, std::int32_t start, std::int32_t next,
                        std::size_t digits) {
    if (digits != kMaxFamily2Digits) {
        return false;
    }
    const std::int32_t length = next - start;
    const std::int32_t end = start + static_cast<std::int32_t>(kMaxFamily2Digits);
    if (length == static_cast<std::int32_t>(kMaxFamily2Digits) + 1) {
        return isLineEnd(data[end]);
    }
    if (length == static_cast<std::int32_t>(kMaxFamily2Digits) + 2) {
        return data[end] == '\r' && data[end + 1] == '\n';
    }
    return false;
}

}  // namespace

bool decodeFamily1Record(const char* text, std::size_t digits, std::size_t header,
                         std::uint8_t* bytes, std::size_t& dataLength) {
    dataLength = 0;
    // The length field itself must be on the line.
    if (digits > kMaxFamily1Digits || digits < 2 * header) {
        return false;
    }
    decodeHexText(text, digits, bytes);
    const std::size_t n = bytes[header - 2] * 256u + bytes[header - 1];
    // A line too short for its data and checksum byte would otherwise read as zeros.
    if (n > kMaxFamily1Data || digits < 2 * (header + n + 1)) {
        return false;
    }
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum = static_cast<std::uint8_t>(sum + bytes[header + i]);
    }
    if (sum != bytes[header + n]) {
        return false;
    }
    dataLength = n;
    return true;
}

int checkFamily1File(UpdateFile& file) {
    const std::uint8_t* data = file.data.data();
    const std::int32_t size = usableSize(file);
    file.lineCount = 0;
    std::uint32_t total = 0;
    char text[kMaxFamily1Digits + 1];
    std::uint8_t bytes[(kMaxFamily1Digits + 1) / 2];
    std::int32_t position = 0;

    for (;;) {
        if (position >= size) {
            return -1;
        }
        std::size_t digits = 0;
        position = readHexLine(data, size, position, text, sizeof text, digits);
        ++file.lineCount;
        const bool info = digits >= 4 && std::memcmp(text, "FFF1", 4) == 0;
        const std::size_t header = info ? 4 : 2;
        std::size_t n = 0;
        if (!decodeFamily1Record(text, digits, header, bytes, n)) {
            return -2;
        }
        // Header, data and checksum byte all count towards the byte total.
        for (std::size_t i = 0; i < header + n + 1; ++i) {
            total += bytes[i];
        }
        const std::uint8_t checksum = bytes[header + n];
        if (!info) {
            continue;
        }

        if (n < kMinInfoData) {
            return -3;
        }
        const std::uint8_t* stored = bytes + header + n - 4;
        total -= checksum;
        total -= stored[0] + stored[1] + stored[2] + stored[3];
        if (total != readBigEndian32(stored)) {
            return -1;
        }
        // Strings start after the first data byte and must end before the byte total.
        std::size_t at = header + 1;
        const std::size_t end = header + n - 4;
        if (!readMaskedString(bytes, at, end, file.productText) ||
            !readMaskedString(bytes, at, end, file.modelName)) {
            return -3;
        }
        file.family = 1;
        return 1;
    }
}

bool family2LineIsSound(const std::uint8_t* data, std::int32_t start, std::int32_t next,
                        const char* text, std::size_t digits) {
    if (!isSoundFamily2Line(data, start, next, digits)) {
        return false;
    }
    std::uint8_t bytes[kLineBytes];
    decodeHexText(text, kMaxFamily2Digits, bytes);
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes) {
        sum = static_cast<std::uint8_t>(sum + b);
    }
    return sum == 0xFF;
}

int checkFamily2File(UpdateFile& file) {
    const std::uint8_t* data = file.data.data();
    const std::int32_t size = usableSize(file);
    file.lineCount = 0;
    std::uint32_t total = 0;
    char text[kMaxFamily2Digits + 1];
    std::uint8_t bytes[kLineBytes];
    std::int32_t position = 0;

    for (;;) {
        std::size_t digits = 0;
        const std::int32_t start = position;
        position = readHexLine(data, size, position, text, sizeof text, digits);
        ++file.lineCount;
        if (!family2LineIsSound(data, start, position, text, digits)) {
            return -1;
        }
        const bool info = std::memcmp(text + 2, "FFF1", 4) == 0;
        decodeHexText(text, kMaxFamily2Digits, bytes);
        const std::size_t counted = info ? kTotalAt : kLineBytes;
        for (std::size_t i = 0; i < counted; ++i) {
            total += bytes[i];
        }
        if (!info) {
            if (position >= size) {
                return -2;
            }
            continue;
        }

        if (readBigEndian32(bytes + kTotalAt) != total) {
            return -1;
        }
        std::size_t at = kStringsStart;
        if (!readMaskedString(bytes, at, kTotalAt, file.productText) ||
            !readMaskedString(bytes, at, kTotalAt, file.modelName) ||
            !readMaskedString(bytes, at, kTotalAt, file.versionText)) {
            return -1;
        }
        file.family = 2;
        const std::optional<std::int32_t> version = deriveFileVersion(
            file.versionText, lookupModelName(file.modelName).value_or(kModelUnknown));
        if (!version) {
            return -1;
        }
        file.fileVersion = *version;
        return 1;
    }
}

}  // namespace korvane
