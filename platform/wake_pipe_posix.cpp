#include "platform/wake_pipe_posix.h"

#include <fcntl.h>
#include <unistd.h>

namespace korvane {

WakePipe::WakePipe() {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        readFd_ = fds[0];
        writeFd_ = fds[1];
    }
}

WakePipe::~WakePipe() {
    if (readFd_ >= 0) {
        ::close(readFd_);
        ::close(writeFd_);
    }
}

void WakePipe::wake() {
    if (writeFd_ < 0 || pending_.exchange(true)) {
        return;
    }
    const char signal = 1;
    // A full pipe already holds a wake, so a failed write loses nothing.
    [[maybe_unused]] ssize_t ignored = ::write(writeFd_, &signal, 1);
}

void WakePipe::drain() {
    char sink[64];
    while (::read(readFd_, sink, sizeof sink) > 0) {
    }
    // Cleared only after the pipe is empty: a wake() racing with the drain either sees the flag
    // still set (and its caller's change is seen by the woken thread's next check) or writes a
    // fresh byte.
    pending_.store(false);
}

}  // namespace korvane
