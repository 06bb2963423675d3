#include "cli/progress_display.h"

#include <cstring>
#include <ostream>
#include <string>

namespace korvane {

namespace {

constexpr int kBarWidth = 40;

int clampPercent(int percent) {
    if (percent < 0) {
        return 0;
    }
    return percent > 100 ? 100 : percent;
}

}  // namespace

void ProgressDisplay::show(int percent) {
    percent = clampPercent(percent);
    if (percent == last_) {
        return;
    }
    last_ = percent;
    if (mode_ == ProgressMode::Plain) {
        out_ << "progress " << percent << "%\n";
        out_.flush();
    } else if (mode_ == ProgressMode::Bar && !textLineOpen_) {
        drawBar();
    }
}

void ProgressDisplay::drawBar() {
    const int filled = last_ * kBarWidth / 100;
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kBarWidth - filled), '.');
    const std::string percent = std::to_string(last_);
    out_ << "\r[" << bar << "] " << std::string(3 - percent.size(), ' ') << percent << "%";
    out_.flush();
    barShown_ = true;
}

void ProgressDisplay::beforeText() {
    if (barShown_) {
        out_ << '\r' << std::string(kBarWidth + 8, ' ') << '\r';
        out_.flush();
        barShown_ = false;
    }
}

void ProgressDisplay::afterText(bool endsLine) {
    textLineOpen_ = !endsLine;
    if (mode_ == ProgressMode::Bar && last_ >= 0 && !textLineOpen_) {
        drawBar();
    }
}

void ProgressDisplay::finish() {
    if (barShown_) {
        out_ << '\n';
        out_.flush();
        barShown_ = false;
    }
}

bool parseProgressMode(const char* text, ProgressMode& mode) {
    if (std::strcmp(text, "bar") == 0) {
        mode = ProgressMode::Bar;
    } else if (std::strcmp(text, "plain") == 0) {
        mode = ProgressMode::Plain;
    } else if (std::strcmp(text, "none") == 0) {
        mode = ProgressMode::None;
    } else {
        return false;
    }
    return true;
}

}  // namespace korvane
