#include "sample_update_files.h"

#include <cstdint>
#include <cstdio>

namespace korvane::simtest {

namespace {

constexpr std::uint8_t kLengthMask = 0xA7;
constexpr std::uint8_t kCharacterMask = 0x6B;

std::string hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char pair[3];
    for (std::uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", byte);
        text += pair;
    }
    return text;
}

void appendMasked(std::vector<std::uint8_t>& bytes, const std::string& text) {
    bytes.push_back(static_cast<std::uint8_t>(text.size()) ^ kLengthMask);
    for (char c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c) ^ kCharacterMask);
    }
}

void appendBigEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

}  // namespace

SampleFile makeFamily2File(int dataLines, const std::string& productText,
                           const std::string& modelName, const std::string& versionText) {
    SampleFile file;
    std::uint32_t total = 0;
    for (int i = 0; i < dataLines; ++i) {
        std::vector<std::uint8_t> line(68);
        line[0] = 0x00;
        line[1] = static_cast<std::uint8_t>(i >> 8);
        line[2] = static_cast<std::uint8_t>(i);
        for (int k = 3; k < 67; ++k) {
            line[k] = static_cast<std::uint8_t>(i * 7 + k * 13);
        }
        unsigned sum = 0;
        for (int k = 0; k < 67; ++k) {
            sum += line[k];
        }
        line[67] = static_cast<std::uint8_t>(0xFF - (sum & 0xFF));
        for (std::uint8_t byte : line) {
            total += byte;
        }
        const std::string text = hex(line);
        file.text += text + "\r\n";
        file.image.push_back(text.substr(2));
    }
    std::vector<std::uint8_t> info = {0x00, 0xFF, 0xF1, 0x00, 0x00, 0x00, 0x00};
    appendMasked(info, productText);
    appendMasked(info, modelName);
    appendMasked(info, versionText);
    info.resize(63, 0x00);
    for (std::uint8_t byte : info) {
        total += byte;
    }
    appendBigEndian(info, total);
    unsigned sum = 0;
    for (std::uint8_t byte : info) {
        sum += byte;
    }
    info.push_back(static_cast<std::uint8_t>(0xFF - (sum & 0xFF)));
    const std::string text = hex(info);
    file.text += text + "\r\n";
    file.image.push_back(text.substr(2));
    return file;
}

SampleFile makeFamily1File(int records, const std::string& productText,
                           const std::string& modelName) {
    SampleFile file;
    std::uint32_t total = 0;
    for (int i = 0; i < records; ++i) {
        const int length = 1 + (i * 37) % 130;
        std::vector<std::uint8_t> record = {static_cast<std::uint8_t>(length >> 8),
                                            static_cast<std::uint8_t>(length)};
        unsigned sum = 0;
        for (int k = 0; k < length; ++k) {
            const auto byte = static_cast<std::uint8_t>(i * 31 + k * 5 + 1);
            record.push_back(byte);
            sum += byte;
        }
        record.push_back(static_cast<std::uint8_t>(sum));
        for (std::uint8_t byte : record) {
            total += byte;
        }
        const std::string text = hex(record);
        file.text += text + "\r\n";
        file.image.push_back(text);
    }
    std::vector<std::uint8_t> data = {0x00};
    appendMasked(data, productText);
    appendMasked(data, modelName);
    const auto length = static_cast<std::uint16_t>(data.size() + 4);
    std::vector<std::uint8_t> info = {0xFF, 0xF1, static_cast<std::uint8_t>(length >> 8),
                                      static_cast<std::uint8_t>(length)};
    for (std::uint8_t byte : info) {
        total += byte;
    }
    for (std::uint8_t byte : data) {
        total += byte;
    }
    appendBigEndian(data, total);
    unsigned sum = 0;
    for (std::uint8_t byte : data) {
        sum += byte;
    }
    info.insert(info.end(), data.begin(), data.end());
    info.push_back(static_cast<std::uint8_t>(sum));
    file.text += hex(info) + "\r\n";
    return file;
}

std::vector<std::string> fileLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (!line.empty()) {
                lines.push_back(line);
            }
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace korvane::simtest
