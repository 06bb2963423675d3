#include "cli/pending_output.h"

#include <algorithm>

namespace korvane {

std::size_t PendingOutput::cost(const std::string& text) {
    return std::max(text.size(), kLeastCost);
}

void PendingOutput::add(StandardStream stream, std::string text) {
    if (text.empty()) {
        return;
    }
    held_ += cost(text);
    entries_.push_back(Entry{stream, std::move(text)});
    while (held_ > bound_ && entries_.size() > 1) {
        dropOldest();
    }
}

void PendingOutput::dropOldest() {
    Entry& oldest = entries_.front();
    Gap& lost = gap(oldest.stream);
    const std::size_t ends =
        static_cast<std::size_t>(std::count(oldest.text.begin(), oldest.text.end(), '\n'));
    // A line that began in an earlier dropped piece was counted there.
    lost.lines += lost.midLine && ends > 0 ? ends - 1 : ends;
    if (!lost.midLine && oldest.text.back() != '\n') {
        ++lost.lines;  // a line cut short counts as dropped
    }
    lost.json = lost.json || oldest.text.front() == '{';
    lost.midLine = oldest.text.back() != '\n';
    held_ -= cost(oldest.text);
    entries_.pop_front();
}

std::optional<PendingOutput::Piece> PendingOutput::marker() {
    for (StandardStream stream : {StandardStream::Output, StandardStream::Error}) {
        Gap& lost = gap(stream);
        if (lost.lines == 0) {
            continue;
        }
        const std::string count = std::to_string(lost.lines);
        std::string text = lost.lineOpen ? "\n" : "";
        text += lost.json ? R"({"kind":"dropped","lines":)" + count + "}\n"
                          : "korvane-fw: " + count + (lost.lines == 1 ? " line" : " lines") +
                                " of output dropped here: the reader did not keep up\n";
        lost.lines = 0;
        lost.json = false;
        lost.lineOpen = false;
        return Piece{stream, std::move(text)};
    }
    return std::nullopt;
}

std::optional<PendingOutput::Piece> PendingOutput::take() {
    if (std::optional<Piece> gapMarker = marker()) {
        return gapMarker;
    }
    std::optional<Piece> taken;
    while (!entries_.empty()) {
        Entry& next = entries_.front();
        Gap& lost = gap(next.stream);
        if (taken && (next.stream != taken->stream || lost.midLine ||
                      taken->text.size() + next.text.size() > kMostTaken)) {
            break;
        }
        const StandardStream stream = next.stream;
        held_ -= cost(next.text);
        std::string text = std::move(next.text);
        entries_.pop_front();
        if (lost.midLine) {
            // The rest of a line whose start was dropped goes with it.
            const std::size_t end = text.find('\n');
            lost.midLine = end == std::string::npos;
            text.erase(0, lost.midLine ? text.size() : end + 1);
            if (text.empty()) {
                continue;
            }
        }
        lost.lineOpen = text.back() != '\n';
        if (taken) {
            taken->text += text;
        } else {
            taken = Piece{stream, std::move(text)};
        }
    }
    return taken;
}

bool PendingOutput::empty() const {
    return entries_.empty() && gaps_[0].lines == 0 && gaps_[1].lines == 0;
}

}  // namespace korvane
