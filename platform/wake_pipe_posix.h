#pragma once

#include <atomic>

namespace korvane {

// A self-pipe that lets one thread end another thread's poll(). wake() is sticky: a wake that
// comes before the poll makes the poll return at once.
class WakePipe {
public:
    WakePipe();
    ~WakePipe();
    WakePipe(const WakePipe&) = delete;
    WakePipe& operator=(const WakePipe&) = delete;

    bool valid() const { return readFd_ >= 0; }
    // The descriptor to poll for POLLIN.
    int pollFd() const { return readFd_; }
    void wake();
    // Consumes pending wakes; call after the poll reported the descriptor readable.
    void drain();

private:
    int readFd_ = -1;
    int writeFd_ = -1;
    std::atomic<bool> pending_{false};
};

}  // namespace korvane
