#include "cli/single_adapter_output.h"

#include <cstring>
#include <ostream>

#include "cli/cli.h"

namespace korvane {

void SingleAdapterOutput::text(std::size_t, const char* text) {
    std::lock_guard<std::mutex> hold(mutex_);
    const std::size_t length = std::strlen(text);
    progress_.beforeText();
    printReportText(out_, text);
    out_.flush();
    progress_.afterText(length > 0 && text[length - 1] == '\n');
}

void SingleAdapterOutput::progress(std::size_t, int percent) {
    std::lock_guard<std::mutex> hold(mutex_);
    progress_.show(percent);
}

void SingleAdapterOutput::batchDone(const std::vector<AdapterResult>&, int) {
    std::lock_guard<std::mutex> hold(mutex_);
    progress_.finish();
}

}  // namespace korvane
