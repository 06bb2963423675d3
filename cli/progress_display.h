#pragma once

#include <iosfwd>

namespace korvane {

// How progress reports are shown on standard error.
enum class ProgressMode {
    Bar,    // one line redrawn in place, for a terminal
    Plain,  // one line per change, for logs and pipes
    None,
};

// Shows the job's progress percent; only changes are shown. In bar mode the bar is the last line
// of the terminal: it is wiped before a text goes out and drawn again after it, once the text's
// line is complete.
class ProgressDisplay {
public:
    ProgressDisplay(ProgressMode mode, std::ostream& out) : mode_(mode), out_(out) {}

    void show(int percent);
    void beforeText();
    // `endsLine`: the text ended with a line end. The bar is not drawn beside an unfinished line.
    void afterText(bool endsLine);
    // Leaves the bar where it stands and ends its line.
    void finish();

private:
    void drawBar();

    ProgressMode mode_;
    std::ostream& out_;
    int last_ = -1;
    bool barShown_ = false;
    bool textLineOpen_ = false;
};

// "bar", "plain" or "none"; false for any other text.
bool parseProgressMode(const char* text, ProgressMode& mode);

}  // namespace korvane
