#include "platform/windows_api.h"

#include "channel/open_failure.h"

namespace korvane {

std::string systemErrorText(int systemCode) {
    if (systemCode == 0) {
        return {};
    }
    char buffer[512] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(systemCode), 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    // The system's messages end with ".\r\n"; the caller places the text inside a line.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = "system error " + std::to_string(systemCode);
    }
    return text;
}

}  // namespace korvane
