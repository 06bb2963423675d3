#pragma once

#include <cstdint>
#include <memory>

namespace korvane {

// A stop request that a system wait can watch beside its own handle, so that the wait ends the
// moment the stop is set instead of at its next look. Set and cleared from any thread; once set it
// stays set until cleared.
class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void set();
    void clear();
    // What a wait watches: on POSIX a descriptor that polls readable (POLLIN) while the signal is
    // set; on Windows the handle of an event that is signalled while it is set. -1 when the system
    // gave none: waits then cannot watch it, and their owners look at the stop request instead.
    std::intptr_t waitable() const;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace korvane
