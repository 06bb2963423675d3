#pragma once

#include <vector>

#include "cli/interrupt_source.h"

namespace korvane {

// Ctrl-C, and the requests to end that a service manager or a closing terminal send (SIGTERM,
// SIGHUP), as an InterruptSource. While one exists, each of them only sets a flag: the job is
// told to stop and ends by itself, with its stop text, the batch table and the JSON end lines,
// and the program exits with 128 + the signal's number. A second signal of the same kind ends
// the process at once. The previous handling is restored when it goes.
class SignalInterrupt : public InterruptSource {
public:
    SignalInterrupt();
    ~SignalInterrupt() override;
    SignalInterrupt(const SignalInterrupt&) = delete;
    SignalInterrupt& operator=(const SignalInterrupt&) = delete;

    bool pending() override;
    int exitStatus() override;

private:
    std::vector<void (*)(int)> previous_;  // in the order of the handled signals
};

}  // namespace korvane
