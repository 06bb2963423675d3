#pragma once

#include <cstdint>

#include "engine/job_reports.h"

namespace korvane {

// The job's reports as one callback, the form UpdateJob::setReportSink takes them in.
// Kind 0: `value` is the address of a NUL-terminated text that carries its own line ends.
// Kind 1: `value` is a progress percent, 0 to 100.
// The text belongs to the caller; a sink must be done with it before it returns.
using ReportSink = void (*)(void* userData, int kind, std::intptr_t value);

inline constexpr int kReportText = 0;
inline constexpr int kReportProgress = 1;

// Hands every report to a sink and its user data.
class SinkReports : public JobReports {
public:
    SinkReports() = default;
    SinkReports(void* userData, ReportSink sink) : userData_(userData), sink_(sink) {}

    void onText(const char* text) override;
    void onProgress(int percent) override;

private:
    void* userData_ = nullptr;
    ReportSink sink_ = nullptr;
};

}  // namespace korvane
