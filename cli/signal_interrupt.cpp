#include "cli/signal_interrupt.h"

#include <atomic>
#include <csignal>

namespace korvane {

namespace {

// Written by the signal handler, which may run on any thread: a lock-free atomic is both safe
// there and visible to the thread that waits for the job.
std::atomic<bool> interruptFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int) {
    interruptFlag.store(true);
    // The next Ctrl-C takes the default action and ends the process.
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

SignalInterrupt::SignalInterrupt() {
    interruptFlag.store(false);
    previous_ = std::signal(SIGINT, onInterrupt);
}

SignalInterrupt::~SignalInterrupt() {
    std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
}

bool SignalInterrupt::pending() {
    return interruptFlag.load();
}

}  // namespace korvane
