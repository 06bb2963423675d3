#include "cli/signal_interrupt.h"

#include <csignal>

namespace korvane {

namespace {

// Written by the signal handler, so it can only be a flag of this type.
volatile std::sig_atomic_t interruptFlag = 0;

extern "C" void onInterrupt(int) {
    interruptFlag = 1;
    // The next Ctrl-C takes the default action and ends the process.
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

SignalInterrupt::SignalInterrupt() {
    interruptFlag = 0;
    previous_ = std::signal(SIGINT, onInterrupt);
}

SignalInterrupt::~SignalInterrupt() {
    std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
}

bool SignalInterrupt::pending() {
    return interruptFlag != 0;
}

}  // namespace korvane
