#include "cli/report_lines.h"

#include "engine/shown_text.h"

namespace korvane {

void ReportLines::add(std::string_view text, const LineHandler& onLine) {
    for (char c : text) {
        if (c == '\n') {
            if (!pending_.empty() && pending_.back() == '\r') {
                pending_.pop_back();
            }
            onLine(pending_);
            pending_.clear();
            continue;
        }
        pending_.push_back(c);
        if (pending_.size() >= kMaxLine) {
            onLine(pending_);
            pending_.clear();
        }
    }
}

void ReportLines::flush(const LineHandler& onLine) {
    if (!pending_.empty()) {
        onLine(pending_);
        pending_.clear();
    }
}

std::string printableLine(std::string_view line) {
    return shownText(line, true);
}

}  // namespace korvane
