// The line reader and hex decoding shared by the file check and both download flows.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/update_file.h"

namespace korvane {

namespace {

// How the line reader sees each byte: a line end, a hex digit (stored upper-cased), or anything
// else (dropped).
constexpr char kLineEnd = 1;
constexpr char kDropped = 0;

constexpr std::array<char, 256> makeLineTable() {
    std::array<char, 256> table{};
    for (int c = '0'; c <= '9'; ++c) {
        table[c] = static_cast<char>(c);
    }
    for (int c = 'A'; c <= 'F'; ++c) {
        table[c] = static_cast<char>(c);
        table[c - 'A' + 'a'] = static_cast<char>(c);
    }
    table['\r'] = kLineEnd;
    table['\n'] = kLineEnd;
    return table;
}

// Value of a hex digit; every other character counts as 0.
constexpr std::array<std::uint8_t, 256> makeNibbleTable() {
    std::array<std::uint8_t, 256> table{};
    for (int c = '0'; c <= '9'; ++c) {
        table[c] = static_cast<std::uint8_t>(c - '0');
    }
    for (int c = 'A'; c <= 'F'; ++c) {
        table[c] = static_cast<std::uint8_t>(c - 'A' + 10);
        table[c - 'A' + 'a'] = static_cast<std::uint8_t>(c - 'A' + 10);
    }
    return table;
}

constexpr std::array<char, 256> kLineTable = makeLineTable();
constexpr std::array<std::uint8_t, 256> kNibbleTable = makeNibbleTable();

std::uint8_t nibble(char c) {
    return kNibbleTable[static_cast<unsigned char>(c)];
}

}  // namespace

std::int32_t readHexLine(const std::uint8_t* data, std::int32_t size, std::int32_t position,
                         char* text, std::size_t textCapacity, std::size_t& digits) {
    digits = 0;
    if (text != nullptr && textCapacity > 0) {
        text[0] = '\0';
    }
    if (position < 0) {
        return size;
    }
    if (data == nullptr || position >= size) {
        return position;
    }
    const std::size_t room = (text != nullptr && textCapacity > 0) ? textCapacity - 1 : 0;
    std::size_t stored = 0;
    std::size_t count = 0;
    std::int32_t i = position;
    for (; i < size; ++i) {
        const char c = kLineTable[data[i]];
        if (c == kLineEnd) {
            break;
        }
        if (c != kDropped) {
            if (stored < room) {
                text[stored++] = c;
            }
            ++count;
        }
    }
    while (i < size && kLineTable[data[i]] == kLineEnd) {
        ++i;
    }
    if (text != nullptr && textCapacity > 0) {
        text[stored] = '\0';
    }
    digits = count;
    return i;
}

std::int32_t editorLineAt(const std::uint8_t* data, std::int32_t size, std::int32_t offset) {
    std::int32_t line = 1;
    const std::int32_t end = std::min(offset, size);
    for (std::int32_t i = 0; i < end; ++i) {
        // CR LF ends one line; a CR or an LF alone ends one too.
        if (data[i] == '\n' || (data[i] == '\r' && (i + 1 >= size || data[i + 1] != '\n'))) {
            ++line;
        }
    }
    return line;
}

void decodeHexText(const char* text, std::size_t length, std::uint8_t* bytes) {
    const std::size_t pairs = length / 2;
    for (std::size_t i = 0; i < pairs; ++i) {
        bytes[i] = static_cast<std::uint8_t>((nibble(text[2 * i]) << 4) | nibble(text[2 * i + 1]));
    }
    if (length % 2 != 0) {
        bytes[pairs] = static_cast<std::uint8_t>(nibble(text[length - 1]) << 4);
    }
}

}  // namespace korvane
