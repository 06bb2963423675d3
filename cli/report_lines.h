#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace korvane {

// Joins the pieces of text an adapter's job reports into whole lines. One visible line may come
// as several reports ("device version:", the version, "\r\n"); a line is complete at "\n", and
// the "\r" before it is dropped. A line that grows past kMaxLine without ending is handed on at
// that length, so the buffer stays bounded.
class ReportLines {
public:
    static constexpr std::size_t kMaxLine = 4096;
    using LineHandler = std::function<void(std::string_view line)>;

    // Adds one report's text; `onLine` gets every line it completes, without its line end.
    void add(std::string_view text, const LineHandler& onLine);
    // Hands on the unfinished rest, if any, as a line of its own.
    void flush(const LineHandler& onLine);
    bool hasPending() const { return !pending_.empty(); }

private:
    std::string pending_;
};

// `line` with every control character other than tab, and every byte that is not UTF-8, shown
// escaped as \xNN (shownText), so that bytes from an adapter cannot move the cursor or change
// the terminal.
std::string printableLine(std::string_view line);

}  // namespace korvane
