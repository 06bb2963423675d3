#include "cli/report_lines.h"

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
    std::string printable(line);
    for (char& c : printable) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7f) {
            c = '?';
        }
    }
    return printable;
}

}  // namespace korvane
