#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvane::test {

// What a terminal shows after it has been sent some output: printable bytes, "\r", "\n" and the
// few control sequences the progress board uses (cursor up "ESC[nA", cursor down "ESC[nB", erase
// line "ESC[2K", erase below "ESC[J"). Anything else fails the test that feeds it.
class TerminalScreen {
public:
    void feed(std::string_view bytes);
    // The lines from the top, trailing blanks dropped, empty lines at the end dropped.
    std::vector<std::string> lines() const;
    int cursorRow() const { return row_; }
    int cursorColumn() const { return column_; }
    bool sawUnknownSequence() const { return unknown_; }

private:
    std::string& line(int row);

    std::vector<std::string> screen_;
    int row_ = 0;
    int column_ = 0;
    bool unknown_ = false;
};

}  // namespace korvane::test
