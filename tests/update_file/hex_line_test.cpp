#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/update_file.h"

namespace korvane {
namespace {

struct LineRead {
    std::string text;
    std::size_t digits = 0;
    std::int32_t next = 0;
};

LineRead readAt(const std::string& data, std::int32_t position, std::size_t capacity = 300) {
    std::vector<char> text(capacity + 1, 'Z');
    LineRead read;
    read.next = readHexLine(reinterpret_cast<const std::uint8_t*>(data.data()),
                            static_cast<std::int32_t>(data.size()), position, text.data(), capacity,
                            read.digits);
    read.text = text.data();
    EXPECT_EQ(text[capacity], 'Z') << "wrote past the text buffer";
    return read;
}

TEST(ReadHexLine, KeepsHexDigitsUpperCasedAndDropsEverythingElse) {
    const LineRead read = readAt(":10 ab-Cz\x80\xff\tF\r\nNEXT", 0);
    EXPECT_EQ(read.text, "10ABCF");
    EXPECT_EQ(read.digits, 6u);
    EXPECT_EQ(read.next, 15);
}

TEST(ReadHexLine, ConsumesTheWholeRunOfLineEnds) {
    struct Case {
        std::string data;
        std::int32_t next;
    };
    const Case cases[] = {
        {"AB\r\nCD", 4}, {"AB\nCD", 3}, {"AB\rCD", 3},     {"AB\r\n\r\n\n\rCD", 8},
        {"AB", 2},       {"AB\r\n", 4}, {"\r\n\r\nCD", 4},  // a line end at the start forms an
                                                            // empty line
    };
    for (const Case& c : cases) {
        const LineRead read = readAt(c.data, 0);
        EXPECT_EQ(read.next, c.next) << c.data;
        const bool startsWithEnd = c.data[0] == '\r';
        EXPECT_EQ(read.text, startsWithEnd ? "" : "AB") << c.data;
    }
}

TEST(ReadHexLine, ReadsSuccessiveLinesFromTheReturnedPosition) {
    const std::string data = "01\r\n\r\n02\n03";
    std::int32_t position = 0;
    std::vector<std::string> texts;
    while (position < static_cast<std::int32_t>(data.size())) {
        const LineRead read = readAt(data, position);
        texts.push_back(read.text);
        position = read.next;
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"01", "02", "03"}));
}

TEST(ReadHexLine, AtOrBeyondTheEndGivesAnEmptyTextAndTheSamePosition) {
    const std::string data = "ABCD\r\n";
    for (std::int32_t position : {6, 7, 1000}) {
        const LineRead read = readAt(data, position);
        EXPECT_EQ(read.next, position);
        EXPECT_EQ(read.text, "");
        EXPECT_EQ(read.digits, 0u);
    }
    const LineRead negative = readAt(data, -1);
    EXPECT_EQ(negative.next, 6);
    EXPECT_EQ(negative.text, "");
}

TEST(ReadHexLine, StoresNoMoreThanCapacityButCountsEveryDigit) {
    const std::string data = "0123456789\r\nFF";
    struct Case {
        std::size_t capacity;
        const char* text;
    };
    for (const Case& c : {Case{4, "012"}, Case{1, ""}, Case{10, "012345678"},
                          Case{11, "0123456789"}, Case{12, "0123456789"}}) {
        const LineRead read = readAt(data, 0, c.capacity);
        EXPECT_EQ(read.text, c.text) << c.capacity;
        EXPECT_EQ(read.digits, 10u);
        EXPECT_EQ(read.next, 12);
    }
    std::size_t digits = 0;
    EXPECT_EQ(
        readHexLine(reinterpret_cast<const std::uint8_t*>(data.data()), 14, 0, nullptr, 0, digits),
        12);
    EXPECT_EQ(digits, 10u);
}

TEST(DecodeHexText, TurnsPairsIntoBytesHighNibbleFirst) {
    struct Case {
        std::string text;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"0A1bFF", {0x0A, 0x1B, 0xFF}},
        {"A1B", {0xA1, 0xB0}},   // an odd last digit fills the high nibble
        {"G1:x", {0x01, 0x00}},  // non-digits count as 0
        {"", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes(c.bytes.size() + 2, 0xEE);
        decodeHexText(c.text.data(), c.text.size(), bytes.data());
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + c.bytes.size()), c.bytes)
            << c.text;
        EXPECT_EQ(bytes[c.bytes.size()], 0xEE) << "wrote past (length + 1) / 2 bytes";
    }
}

}  // namespace
}  // namespace korvane
