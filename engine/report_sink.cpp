#include "engine/report_sink.h"

namespace korvane {

void SinkReports::onText(const char* text) {
    if (sink_ != nullptr) {
        sink_(userData_, kReportText, reinterpret_cast<std::intptr_t>(text));
    }
}

void SinkReports::onProgress(int percent) {
    if (sink_ != nullptr) {
        sink_(userData_, kReportProgress, static_cast<std::intptr_t>(percent));
    }
}

}  // namespace korvane
