#include "sim/adapter/record_text.h"

#include <cstddef>
#include <vector>

namespace korvane::sim {

namespace {

constexpr std::size_t kMaxLinePayloadDigits = 253;
constexpr unsigned kMaxRecordData = 130;

int digitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The bytes of an even-length upper-case hex text; false for anything else.
bool decode(const std::string& text, std::vector<unsigned>& bytes) {
    if (text.empty() || text.size() % 2 != 0) {
        return false;
    }
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = digitValue(text[i]);
        const int low = digitValue(text[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes.push_back(static_cast<unsigned>(high * 16 + low));
    }
    return true;
}

}  // namespace

bool isSoundLinePayload(const std::string& payload) {
    std::vector<unsigned> bytes;
    return payload.size() <= kMaxLinePayloadDigits && decode(payload, bytes);
}

bool isSoundRecord(const std::string& record) {
    std::vector<unsigned> bytes;
    if (!decode(record, bytes) || bytes.size() < 3) {
        return false;
    }
    const unsigned length = bytes[0] * 256 + bytes[1];
    if (length > kMaxRecordData || bytes.size() != length + 3) {
        return false;
    }
    unsigned sum = 0;
    for (unsigned i = 0; i < length; ++i) {
        sum += bytes[2 + i];
    }
    return (sum & 0xFFu) == bytes[2 + length];
}

}  // namespace korvane::sim
