#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// One line per adapter at the bottom of a terminal, each with its bar, percent and last text,
// redrawn in place. Output that scrolls goes above it: wipe() the board, write, draw() it again.
// When there are more adapters than the terminal has rows for, the board shows the ones still
// running first and a closing line counts the rest.
//
// Not thread-safe: its owner serialises the calls.
class ProgressBoard {
public:
    // `prefixes`: one per adapter, all of the same width. `rows` and `columns`: the terminal's.
    ProgressBoard(std::ostream& out, std::vector<std::string> prefixes, int rows, int columns);

    void setPercent(std::size_t adapter, int percent);
    void setLastText(std::size_t adapter, std::string_view line);
    // The adapter's work is over; `status` replaces its text.
    void setDone(std::size_t adapter, std::string_view status);

    // Wipes the drawn lines; the cursor goes back to where the board began.
    void wipe();
    // Draws the board below the cursor; the cursor ends on the line after it.
    void draw();
    bool drawn() const { return drawnLines_ > 0; }

    // The text of one adapter's line (for tests).
    std::string rowText(std::size_t adapter) const;

private:
    struct Row {
        int percent = 0;
        std::string text;
        bool done = false;
    };

    void chooseShown();
    std::string overflowText() const;
    std::string fit(std::string line) const;
    void redrawRow(std::size_t adapter);

    std::ostream& out_;
    std::vector<std::string> prefixes_;
    std::vector<Row> rows_;
    std::size_t capacity_;
    std::size_t columns_;
    std::vector<std::size_t> shown_;  // the adapter on each drawn line, top down
    bool overflow_ = false;           // the last drawn line counts the adapters not shown
    std::size_t drawnLines_ = 0;
};

}  // namespace korvane
