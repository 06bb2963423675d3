#include "tests/support/outcome_text.h"

namespace korvane::test {

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::string lastLineOf(const std::string& output) {
    std::string text = output;
    for (;;) {
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        const std::size_t end = text.find_last_of("\r\n");
        const std::string line = end == std::string::npos ? text : text.substr(end + 1);
        if (!startsWith(line, "  ") || end == std::string::npos) {
            return line;
        }
        text.resize(end);
    }
}

bool isFailureOrRefusalLine(const std::string& line) {
    static const char* const kRefusals[] = {
        "There is no upgrade function for this product!",
        "The device firmware version number is higher, please use the latest firmware file.!",
        "This software version is too low, please download the latest software version.!",
    };
    if (startsWith(line, "**Failed** ")) {
        return true;
    }
    for (const char* refusal : kRefusals) {
        if (line == refusal) {
            return true;
        }
    }
    if (startsWith(line, "Please upgrade to version ") && endsWith(line, " first!")) {
        return true;
    }
    return startsWith(line, "[") && endsWith(line, "].");
}

}  // namespace korvane::test
