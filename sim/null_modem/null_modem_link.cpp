#include "sim/null_modem/null_modem_link.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/null_modem/pty_line.h"

namespace korvane::sim {

NullModemLink::~NullModemLink() {
    for (End& end : ends_) {
        if (end.master >= 0) {
            ::close(end.master);
        }
        if (end.slave >= 0) {
            ::close(end.slave);
        }
    }
}

bool NullModemLink::open(std::string& error) {
    for (End& end : ends_) {
        char name[128] = {};
        if (openpty(&end.master, &end.slave, name, nullptr, nullptr) != 0) {
            error = std::string("openpty failed: ") + std::strerror(errno);
            return false;
        }
        end.slavePath = name;
        if (!makePtyLineRaw(end.slave)) {
            error = std::string("cannot set the pty's line: ") + std::strerror(errno);
            return false;
        }
        const int flags = fcntl(end.master, F_GETFL);
        if (flags < 0 || fcntl(end.master, F_SETFL, flags | O_NONBLOCK) != 0 ||
            fcntl(end.master, F_SETFD, FD_CLOEXEC) != 0 ||
            fcntl(end.slave, F_SETFD, FD_CLOEXEC) != 0) {
            error = std::string("cannot configure the pty: ") + std::strerror(errno);
            return false;
        }
    }
    return true;
}

// Takes what end `from`'s program wrote and queues it for the other end, or drops it while the
// two ends' rates differ. False when the end failed.
bool NullModemLink::receiveFrom(int from) {
    End& source = ends_[from];
    End& target = ends_[1 - from];
    std::uint8_t block[4096];
    const std::size_t room = kBufferLimit - target.toSend.size();
    const ssize_t got = ::read(source.master, block, room < sizeof block ? room : sizeof block);
    if (got < 0) {
        return errno == EAGAIN || errno == EINTR;
    }
    if (got == 0) {
        return true;
    }
    if (ptyLineRate(source.master) != ptyLineRate(target.master)) {
        dropped_ += static_cast<std::uint64_t>(got);
        return true;
    }
    target.toSend.insert(target.toSend.end(), block, block + got);
    return true;
}

bool NullModemLink::sendTo(int to) {
    End& target = ends_[to];
    const ssize_t put = ::write(target.master, target.toSend.data(), target.toSend.size());
    if (put < 0) {
        return errno == EAGAIN || errno == EINTR;
    }
    target.toSend.erase(target.toSend.begin(), target.toSend.begin() + put);
    carried_ += static_cast<std::uint64_t>(put);
    return true;
}

void NullModemLink::run(const std::atomic<bool>& stop) {
    while (!stop.load()) {
        pollfd entries[2];
        for (int i = 0; i < 2; ++i) {
            entries[i].fd = ends_[i].master;
            entries[i].events = 0;
            entries[i].revents = 0;
            if (ends_[1 - i].toSend.size() < kBufferLimit) {
                entries[i].events |= POLLIN;
            }
            if (!ends_[i].toSend.empty()) {
                entries[i].events |= POLLOUT;
            }
        }
        const int ready = ::poll(entries, 2, 200);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if ((entries[i].revents & POLLIN) && !receiveFrom(i)) {
                return;
            }
            if ((entries[i].revents & POLLOUT) && !sendTo(i)) {
                return;
            }
            if (entries[i].revents & POLLNVAL) {
                return;
            }
        }
    }
}

}  // namespace korvane::sim
