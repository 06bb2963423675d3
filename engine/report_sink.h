#pragma once

#include <cstdint>

namespace korvane {

// Kind 0: `value` is the address of a NUL-terminated text that carries its own line ends.
// Kind 1: `value` is a progress percent, 0 to 100.
// The text belongs to the caller; a sink must be done with it before it returns.
using ReportSink = void (*)(void* userData, int kind, std::intptr_t value);

inline constexpr int kReportText = 0;
inline constexpr int kReportProgress = 1;

// The sink and its user data, as the job stores them. Reports to a missing sink go nowhere.
class Reporter {
public:
    Reporter() = default;
    Reporter(void* userData, ReportSink sink) : userData_(userData), sink_(sink) {}

    void reportText(const char* text) const;
    void reportProgress(int percent) const;

private:
    void* userData_ = nullptr;
    ReportSink sink_ = nullptr;
};

}  // namespace korvane
