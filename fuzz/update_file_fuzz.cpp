// checkUpdateFile on arbitrary bytes, and the line reader walking the same bytes.
//
// Properties: no memory or undefined-behaviour fault; a sound file keeps its buffer and names its
// family; a refused one reports exactly the format-error text and loses its buffer; progress 2 is
// reported once either way; the decoded texts stay terminated inside their fields; the line
// reader always moves forward and never stores more than it was given room for.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/update_file.h"
#include "fuzz/support/fuzz_check.h"

namespace {

using namespace korvane;

struct Reports : JobReports {
    std::vector<std::string> texts;
    std::vector<int> progress;

    void onText(const char* text) override { texts.emplace_back(text); }
    void onProgress(int percent) override { progress.push_back(percent); }
};

bool terminatedField(const char (&field)[128]) {
    return std::memchr(field, '\0', sizeof field) != nullptr;
}

bool upperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

void walkLines(const std::uint8_t* data, std::int32_t size, std::size_t capacity) {
    std::vector<char> text(capacity);
    std::int32_t position = 0;
    while (position < size) {
        std::size_t digits = 0;
        const std::int32_t next =
            readHexLine(data, size, position, text.data(), text.size(), digits);
        FUZZ_CHECK(next > position && next <= size);
        const std::size_t stored = std::strlen(text.data());
        FUZZ_CHECK(stored < capacity);
        FUZZ_CHECK(stored == std::min(digits, capacity - 1));
        for (std::size_t i = 0; i < stored; ++i) {
            FUZZ_CHECK(upperHex(text[i]));
        }
        position = next;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > static_cast<std::size_t>(INT32_MAX)) {
        return 0;
    }
    const auto size32 = static_cast<std::int32_t>(size);

    UpdateFile file;
    file.data.assign(data, data + size);
    file.size = size32;
    Reports reports;
    const int result = checkUpdateFile(file, Reporter(&reports));

    FUZZ_CHECK(reports.progress == std::vector<int>{2});
    FUZZ_CHECK(file.lineCount >= 0);
    FUZZ_CHECK(terminatedField(file.productText));
    FUZZ_CHECK(terminatedField(file.modelName));
    FUZZ_CHECK(terminatedField(file.versionText));
    if (result == 1) {
        FUZZ_CHECK(file.family == 1 || file.family == 2);
        FUZZ_CHECK(reports.texts.empty());
        FUZZ_CHECK(file.size == size32 && file.data.size() == size);
        FUZZ_CHECK(file.lineCount > 0);
        if (file.family == 2) {
            FUZZ_CHECK(std::strchr(file.versionText, 'V') != nullptr);
        }
    } else {
        FUZZ_CHECK(result < 0);
        FUZZ_CHECK(reports.texts == std::vector<std::string>{kFormatErrorText});
        FUZZ_CHECK(file.data.empty() && file.size == 0);
    }

    // The line reader once more with a capacity between 1 and 300 that the input chooses (the
    // check itself used the family capacities).
    walkLines(data, size32, size > 0 ? 1 + data[size - 1] % 300 : 1);
    return 0;
}
