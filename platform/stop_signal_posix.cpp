#include <mutex>

#include "platform/stop_signal.h"
#include "platform/wake_pipe_posix.h"

namespace korvane {

// A self-pipe that holds a byte exactly while the signal is set. The lock keeps a set and a clear
// from crossing (a clear that drained before a set's byte arrived would leave it set).
struct StopSignal::Parts {
    std::mutex lock;
    WakePipe pipe;
};

StopSignal::StopSignal() : parts_(std::make_unique<Parts>()) {}

StopSignal::~StopSignal() = default;

void StopSignal::set() {
    std::lock_guard<std::mutex> hold(parts_->lock);
    parts_->pipe.wake();
}

void StopSignal::clear() {
    std::lock_guard<std::mutex> hold(parts_->lock);
    parts_->pipe.drain();
}

std::intptr_t StopSignal::waitable() const {
    return parts_->pipe.valid() ? parts_->pipe.pollFd() : -1;
}

}  // namespace korvane
