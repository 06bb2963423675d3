#include "cli/signal_interrupt.h"

#include <atomic>
#include <csignal>

namespace korvane {

namespace {

// Windows has no SIGHUP.
constexpr int kHandled[] = {
    SIGINT,
    SIGTERM,
#ifdef SIGHUP
    SIGHUP,
#endif
};

// Written by the signal handler, which may run on any thread: a lock-free atomic is both safe
// there and visible to the thread that waits for the job. 0 while no signal came, else the
// number of the first one.
std::atomic<int> interruptSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onInterrupt(int signal) {
    int none = 0;
    interruptSignal.compare_exchange_strong(none, signal);
    // The next signal of this kind takes the default action and ends the process.
    std::signal(signal, SIG_DFL);
}

}  // namespace

SignalInterrupt::SignalInterrupt() {
    interruptSignal.store(0);
    for (int signal : kHandled) {
        previous_.push_back(std::signal(signal, onInterrupt));
    }
}

SignalInterrupt::~SignalInterrupt() {
    for (std::size_t i = 0; i < previous_.size(); ++i) {
        std::signal(kHandled[i], previous_[i] == SIG_ERR ? SIG_DFL : previous_[i]);
    }
}

bool SignalInterrupt::pending() {
    return interruptSignal.load() != 0;
}

int SignalInterrupt::exitStatus() {
    const int signal = interruptSignal.load();
    return signal != 0 ? kExitSignalBase + signal : kExitInterrupted;
}

}  // namespace korvane
