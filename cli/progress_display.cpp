#include "cli/progress_display.h"

#include <cstring>

namespace korvane::cli {

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
        std::fprintf(out_, "progress %d%%\n", percent);
        std::fflush(out_);
    } else if (mode_ == ProgressMode::Bar && !textLineOpen_) {
        drawBar();
    }
}

void ProgressDisplay::drawBar() {
    char bar[kBarWidth + 1];
    const int filled = last_ * kBarWidth / 100;
    std::memset(bar, '#', static_cast<std::size_t>(filled));
    std::memset(bar + filled, '.', static_cast<std::size_t>(kBarWidth - filled));
    bar[kBarWidth] = '\0';
    std::fprintf(out_, "\r[%s] %3d%%", bar, last_);
    std::fflush(out_);
    barShown_ = true;
}

void ProgressDisplay::beforeText() {
    if (barShown_) {
        std::fprintf(out_, "\r%*s\r", kBarWidth + 8, "");
        std::fflush(out_);
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
        std::fputc('\n', out_);
        std::fflush(out_);
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

}  // namespace korvane::cli
