#pragma once

#include "cli/job_runner.h"

namespace korvane {

// Ctrl-C as an InterruptSource. While one exists, SIGINT only sets a flag (the job is told to
// stop and ends by itself); a second Ctrl-C ends the process at once. The previous handling is
// restored when it goes.
class SignalInterrupt : public InterruptSource {
public:
    SignalInterrupt();
    ~SignalInterrupt() override;
    SignalInterrupt(const SignalInterrupt&) = delete;
    SignalInterrupt& operator=(const SignalInterrupt&) = delete;

    bool pending() override;

private:
    void (*previous_)(int);
};

}  // namespace korvane
