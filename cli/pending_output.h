#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

#include "platform/stream_writer.h"

namespace korvane {

// What waits to be written to the standard streams, in the order it was written, within a bound.
// When more comes than the bound holds, the oldest lines are dropped, never the newest: a reader
// that catches up (or one that reads only the end) still gets the last progress, the results and
// the summary. Where lines were dropped, their stream gets one marker line instead, as JSON when
// the dropped lines were JSON:
//   korvane-fw: 1234 lines of output dropped here: the reader did not keep up
//   {"kind":"dropped","lines":1234}
// Not thread-safe: its owner serialises the calls.
class PendingOutput {
public:
    // Each piece counts at least this much against the bound, for what holding it costs.
    static constexpr std::size_t kLeastCost = 64;
    // The most take() hands out at once.
    static constexpr std::size_t kMostTaken = 16 * 1024;

    struct Piece {
        StandardStream stream;
        std::string text;
    };

    explicit PendingOutput(std::size_t bound) : bound_(bound) {}

    void add(StandardStream stream, std::string text);
    // The next text to write, in order: a marker where lines were dropped, else the oldest pieces
    // of one stream joined (up to kMostTaken). Nothing when nothing waits.
    std::optional<Piece> take();
    bool empty() const;
    std::size_t held() const { return held_; }

private:
    struct Entry {
        StandardStream stream;
        std::string text;
    };
    struct Gap {
        std::size_t lines = 0;  // line ends dropped
        bool json = false;      // the dropped lines were JSON objects
        bool midLine = false;   // the last piece dropped ended inside a line: skip its rest
        bool lineOpen = false;  // what was taken of the stream last did not end its line
    };

    static std::size_t cost(const std::string& text);
    Gap& gap(StandardStream stream) { return gaps_[stream == StandardStream::Output ? 0 : 1]; }
    void dropOldest();
    std::optional<Piece> marker();

    std::size_t bound_;
    std::size_t held_ = 0;
    std::deque<Entry> entries_;
    std::array<Gap, 2> gaps_{};
};

}  // namespace korvane
