#include "engine/download_preflight.h"

#include <algorithm>
#include <cstring>

#include "engine/block_download.h"
#include "engine/line_download.h"

namespace korvane {

namespace {

std::int32_t usableSize(const UpdateFile& file) {
    return std::min(file.size, static_cast<std::int32_t>(file.data.size()));
}

// Walks the lines as sendAllLines reads them: pairs, until the data ends.
std::optional<int> firstUnsendableFamily2Line(const UpdateFile& file) {
    const std::uint8_t* data = file.data.data();
    const std::int32_t size = usableSize(file);
    HexLine line;
    std::int32_t position = 0;
    for (int number = 1; position < size; ++number) {
        const std::int32_t start = position;
        position = readHexLine(data, size, position, line.text, kLineCapacity, line.digits);
        if (number % 2 == 1 && position >= size) {
            return std::nullopt;  // the odd last line is never sent
        }
        if (!lineTypeSendable(line) ||
            !family2LineIsSound(data, size, start, position, line.text, line.digits)) {
            return number;
        }
    }
    return std::nullopt;
}

// Walks the records as sendBlocks reads them: up to the information record.
std::optional<int> firstUnsendableFamily1Line(const UpdateFile& file) {
    const std::uint8_t* data = file.data.data();
    const std::int32_t size = usableSize(file);
    char text[kMaxFamily1Digits + 1];
    std::int32_t position = 0;
    for (int number = 1; position < size; ++number) {
        std::size_t digits = 0;
        position = readHexLine(data, size, position, text, sizeof text, digits);
        if (std::strncmp(text, "FFF1", 4) == 0) {
            return std::nullopt;
        }
        if (!recordIsSound(text, digits)) {
            return number;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> firstUnsendableLine(const UpdateFile& file) {
    switch (file.family) {
        case 1:
            return firstUnsendableFamily1Line(file);
        case 2:
            return firstUnsendableFamily2Line(file);
        default:
            return 1;
    }
}

const char* unsendableFileText(const UpdateFile& file) {
    return file.family == 1 ? kFileInvalidText : kFormatErrorText;
}

bool hasUnsentLastLine(const UpdateFile& file) {
    if (file.family != 2) {
        return false;
    }
    const std::int32_t size = usableSize(file);
    HexLine line;
    int lines = 0;
    for (std::int32_t position = 0; position < size; ++lines) {
        position =
            readHexLine(file.data.data(), size, position, line.text, kLineCapacity, line.digits);
    }
    return lines % 2 == 1;
}

}  // namespace korvane
