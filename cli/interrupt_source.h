#pragma once

namespace korvane {

// Exit status after an interrupt: 128 + the signal's number, as shells report a process the
// signal ended; 130 for Ctrl-C (SIGINT).
inline constexpr int kExitSignalBase = 128;
inline constexpr int kExitInterrupted = 130;

// Whether the user asked to stop (Ctrl-C). Read from the thread that waits for the work.
class InterruptSource {
public:
    virtual ~InterruptSource() = default;
    virtual bool pending() = 0;
    // The exit status once an interrupt came.
    virtual int exitStatus() { return kExitInterrupted; }
};

}  // namespace korvane
