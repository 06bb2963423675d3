#include "cli/progress_board.h"

#include <algorithm>
#include <ostream>

#include "cli/report_lines.h"

namespace korvane {

namespace {

constexpr int kBarWidth = 20;

// Terminal control: erase the whole line; erase from the cursor to the end of the screen.
constexpr const char* kEraseLine = "\x1b[2K";
constexpr const char* kEraseBelow = "\x1b[J";

std::string cursorUp(std::size_t lines) {
    return "\x1b[" + std::to_string(lines) + "A";
}

std::string cursorDown(std::size_t lines) {
    return "\x1b[" + std::to_string(lines) + "B";
}

}  // namespace

ProgressBoard::ProgressBoard(std::ostream& out, std::vector<std::string> prefixes, int rows,
                             int columns)
    : out_(out),
      prefixes_(std::move(prefixes)),
      rows_(prefixes_.size()),
      // One row stays free for the cursor, one for the output above.
      capacity_(static_cast<std::size_t>(std::max(1, rows - 2))),
      columns_(static_cast<std::size_t>(std::max(20, columns))) {}

std::string ProgressBoard::fit(std::string line) const {
    // A line that filled the last column would wrap on some terminals and break the line count.
    if (line.size() > columns_ - 1) {
        line.resize(columns_ - 1);
    }
    return line;
}

std::string ProgressBoard::rowText(std::size_t adapter) const {
    const Row& row = rows_[adapter];
    const int filled = row.percent * kBarWidth / 100;
    const std::string percent = std::to_string(row.percent);
    std::string line = prefixes_[adapter] + "[" +
                       std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] " +
                       std::string(3 - percent.size(), ' ') + percent + "%";
    if (!row.text.empty()) {
        line += "  " + row.text;
    }
    return fit(std::move(line));
}

std::string ProgressBoard::overflowText() const {
    std::size_t running = 0;
    std::size_t done = 0;
    std::vector<bool> isShown(rows_.size(), false);
    for (std::size_t adapter : shown_) {
        isShown[adapter] = true;
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!isShown[i]) {
            ++(rows_[i].done ? done : running);
        }
    }
    return fit("... and " + std::to_string(running + done) + " more: " + std::to_string(running) +
               " running, " + std::to_string(done) + " done");
}

void ProgressBoard::chooseShown() {
    shown_.clear();
    overflow_ = rows_.size() > capacity_;
    if (!overflow_) {
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            shown_.push_back(i);
        }
        return;
    }
    // Not all fit: running adapters first, each group in port order.
    const std::size_t lines = capacity_ - 1;
    for (int pass = 0; pass < 2 && shown_.size() < lines; ++pass) {
        for (std::size_t i = 0; i < rows_.size() && shown_.size() < lines; ++i) {
            if (rows_[i].done == (pass == 1)) {
                shown_.push_back(i);
            }
        }
    }
}

void ProgressBoard::wipe() {
    if (drawnLines_ > 0) {
        out_ << cursorUp(drawnLines_) << '\r' << kEraseBelow;
        out_.flush();
        drawnLines_ = 0;
    }
}

void ProgressBoard::draw() {
    wipe();
    chooseShown();
    for (std::size_t adapter : shown_) {
        out_ << kEraseLine << rowText(adapter) << '\n';
    }
    drawnLines_ = shown_.size();
    if (overflow_) {
        out_ << kEraseLine << overflowText() << '\n';
        ++drawnLines_;
    }
    out_.flush();
}

void ProgressBoard::redrawRow(std::size_t adapter) {
    if (drawnLines_ == 0) {
        return;
    }
    const auto at = std::find(shown_.begin(), shown_.end(), adapter);
    if (at == shown_.end()) {
        return;  // not on the board; the counting line does not depend on progress
    }
    const std::size_t up = drawnLines_ - static_cast<std::size_t>(at - shown_.begin());
    out_ << cursorUp(up) << '\r' << kEraseLine << rowText(adapter) << cursorDown(up) << '\r';
    out_.flush();
}

void ProgressBoard::setPercent(std::size_t adapter, int percent) {
    rows_[adapter].percent = std::clamp(percent, 0, 100);
    redrawRow(adapter);
}

void ProgressBoard::setLastText(std::size_t adapter, std::string_view line) {
    std::string text = printableLine(line);
    std::replace(text.begin(), text.end(), '\t', ' ');
    rows_[adapter].text = std::move(text);
    redrawRow(adapter);
}

void ProgressBoard::setDone(std::size_t adapter, std::string_view status) {
    rows_[adapter].done = true;
    rows_[adapter].text = printableLine(status);
    if (overflow_ && drawnLines_ > 0) {
        draw();  // the running adapters move up, and the count changes
    } else {
        redrawRow(adapter);
    }
}

}  // namespace korvane
