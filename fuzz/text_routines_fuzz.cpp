// parseVersionNumber, skipPrefix and removeChar on arbitrary texts, each held in a buffer exactly
// as long as the text and its terminator, so a read or write past the end is caught.
//
// Input: byte 0 the character to remove, byte 1 the comparison limit of skipPrefix (signed),
// byte 2 the digit for a final "X" (0: none); then the text, and after the first NUL the prefix.
//
// Properties: removeChar leaves exactly the text without that character; skipPrefix stops at the
// first difference, the prefix's end or the limit, never beyond the text; parseVersionNumber
// gives the C library's reading (strtol, clamped to int) of the text without "." and ">" with a
// final "X" replaced.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "engine/command_exchange.h"
#include "fuzz/support/fuzz_check.h"

namespace {

using namespace korvane;

std::unique_ptr<char[]> exactCopy(const std::string& text) {
    auto copy = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(copy.get(), text.c_str(), text.size() + 1);
    return copy;
}

std::string without(std::string text, char c) {
    if (c != '\0') {
        text.erase(std::remove(text.begin(), text.end(), c), text.end());
    }
    return text;
}

int referenceNumber(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const char removed = static_cast<char>(data[0]);
    const int most = static_cast<std::int8_t>(data[1]);
    const char digit = static_cast<char>(data[2]);
    const std::string rest(reinterpret_cast<const char*>(data + 3), size - 3);
    const std::size_t split = rest.find('\0');
    const std::string text = rest.substr(0, split);
    const std::string prefix = split == std::string::npos ? std::string() : rest.substr(split + 1);
    const std::string prefixText = prefix.substr(0, prefix.find('\0'));

    {
        auto buffer = exactCopy(text);
        removeChar(buffer.get(), removed);
        FUZZ_CHECK(std::string(buffer.get()) == without(text, removed));
    }
    {
        auto buffer = exactCopy(text);
        auto prefixBuffer = exactCopy(prefixText);
        const char* after = skipPrefix(buffer.get(), prefixBuffer.get(), most);
        FUZZ_CHECK(after >= buffer.get() && after <= buffer.get() + text.size());
        const auto k = static_cast<std::size_t>(after - buffer.get());
        FUZZ_CHECK(text.compare(0, k, prefixText, 0, k) == 0);
        const bool atLimit = static_cast<long>(k) >= most;
        const bool prefixEnded = k == prefixText.size();
        const bool differs = k < text.size() && k < prefixText.size() && text[k] != prefixText[k];
        const bool textEnded = k == text.size();
        FUZZ_CHECK(atLimit || prefixEnded || differs || textEnded);
        FUZZ_CHECK(skipPrefix(static_cast<const char*>(nullptr), prefixBuffer.get(), most) ==
                   nullptr);
        FUZZ_CHECK(skipPrefix(buffer.get(), nullptr, most) == buffer.get());
    }
    {
        auto buffer = exactCopy(text);
        std::string expected = without(without(text, '.'), '>');
        if (digit != '\0' && !expected.empty() && expected.back() == 'X') {
            expected.back() = digit;
        }
        FUZZ_CHECK(parseVersionNumber(buffer.get(), digit) == referenceNumber(expected));
        FUZZ_CHECK(std::string(buffer.get()) == expected);
    }
    return 0;
}
