#include "tests/parallel/terminal_screen.h"

#include <algorithm>

namespace korvane::test {

std::string& TerminalScreen::line(int row) {
    if (static_cast<int>(screen_.size()) <= row) {
        screen_.resize(static_cast<std::size_t>(row) + 1);
    }
    return screen_[static_cast<std::size_t>(row)];
}

void TerminalScreen::feed(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            column_ = 0;
        } else if (c == '\n') {
            ++row_;
            column_ = 0;
        } else if (c == '\x1b') {
            if (i + 1 >= bytes.size() || bytes[i + 1] != '[') {
                unknown_ = true;
                continue;
            }
            std::size_t j = i + 2;
            int number = 0;
            bool hasNumber = false;
            while (j < bytes.size() && bytes[j] >= '0' && bytes[j] <= '9') {
                number = number * 10 + (bytes[j] - '0');
                hasNumber = true;
                ++j;
            }
            if (j >= bytes.size()) {
                unknown_ = true;
                return;
            }
            const char command = bytes[j];
            if (command == 'A') {
                row_ = std::max(0, row_ - (hasNumber ? number : 1));
            } else if (command == 'B') {
                row_ += hasNumber ? number : 1;
            } else if (command == 'K' && number == 2) {
                line(row_).clear();
            } else if (command == 'J' && !hasNumber) {
                std::string& current = line(row_);
                if (static_cast<int>(current.size()) > column_) {
                    current.resize(static_cast<std::size_t>(column_));
                }
                if (static_cast<int>(screen_.size()) > row_ + 1) {
                    screen_.resize(static_cast<std::size_t>(row_) + 1);
                }
            } else {
                unknown_ = true;
            }
            i = j;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            unknown_ = true;  // no other control byte may reach the terminal
        } else {
            std::string& current = line(row_);
            if (static_cast<int>(current.size()) <= column_) {
                current.resize(static_cast<std::size_t>(column_) + 1, ' ');
            }
            current[static_cast<std::size_t>(column_)] = c;
            ++column_;
        }
    }
}

std::vector<std::string> TerminalScreen::lines() const {
    std::vector<std::string> lines = screen_;
    for (std::string& text : lines) {
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
    }
    while (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    return lines;
}

}  // namespace korvane::test
