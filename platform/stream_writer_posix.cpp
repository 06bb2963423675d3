#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>

#include "platform/deadline_wait.h"
#include "platform/stream_writer.h"
#include "platform/wake_pipe_posix.h"

namespace korvane {
namespace {

// poll() for room, then a write of at most PIPE_BUF bytes: a pipe that polls writable takes that
// many whole, so the write itself does not wait. The descriptor's own flags are left alone: it is
// shared with the shell and whoever else holds it.
class PosixStreamWriter final : public StreamWriter {
public:
    explicit PosixStreamWriter(int fd) : fd_(fd) {}

    long write(std::string_view bytes, const Deadline& deadline) override {
        if (bytes.empty()) {
            return 0;
        }
        pollfd entries[2] = {{fd_, POLLOUT, 0}, {wake_.valid() ? wake_.pollFd() : -1, POLLIN, 0}};
        for (;;) {
            const int ready = ::poll(entries, 2, waitBudgetMs(deadline));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready < 0) {
                return -1;
            }
            if (entries[1].revents != 0) {
                wake_.drain();
                return 0;
            }
            if (ready == 0) {
                return 0;
            }
            if ((entries[0].revents & (POLLERR | POLLNVAL)) != 0) {
                return -1;  // a pipe whose reader is gone, or no stream at all
            }
            break;
        }
        const ssize_t written =
            ::write(fd_, bytes.data(), std::min(bytes.size(), static_cast<std::size_t>(PIPE_BUF)));
        if (written >= 0) {
            return static_cast<long>(written);
        }
        return errno == EINTR || errno == EAGAIN ? 0 : -1;
    }

    void wake() override { wake_.wake(); }

private:
    int fd_;
    WakePipe wake_;
};

}  // namespace

std::unique_ptr<StreamWriter> standardStreamWriter(StandardStream stream) {
    return std::make_unique<PosixStreamWriter>(stream == StandardStream::Output ? STDOUT_FILENO
                                                                                : STDERR_FILENO);
}

}  // namespace korvane
