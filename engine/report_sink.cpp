#include "engine/report_sink.h"

namespace korvane {

void Reporter::reportText(const char* text) const {
    if (sink_ != nullptr) {
        sink_(userData_, kReportText, reinterpret_cast<std::intptr_t>(text));
    }
}

void Reporter::reportProgress(int percent) const {
    if (sink_ != nullptr) {
        sink_(userData_, kReportProgress, static_cast<std::intptr_t>(percent));
    }
}

}  // namespace korvane
