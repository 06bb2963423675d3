#include "history/history_files.h"

namespace korvane {

std::size_t rotationCut(std::string_view content) {
    const std::size_t middle = content.size() / 2;
    if (middle == 0) {
        return content.size();
    }
    // A line begins right after a line end; the one at middle - 1 makes middle a line start.
    const std::size_t end = content.find('\n', middle - 1);
    return end == std::string_view::npos ? content.size() : end + 1;
}

}  // namespace korvane
