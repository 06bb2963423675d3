#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "channel/tcp/tcp_socket.h"
#include "channel/tcp/tcp_target.h"
#include "platform/deadline_wait.h"
#include "platform/wake_pipe_posix.h"

namespace korvane {
namespace {

// Polls `entries` until one of them has an event or the deadline passes; false on time-out.
bool pollUntil(pollfd* entries, nfds_t count, const Deadline& deadline) {
    for (;;) {
        const int timeout = waitBudgetMs(deadline);
        if (timeout == 0) {
            return false;
        }
        const int result = ::poll(entries, count, timeout);
        if (result > 0) {
            return true;
        }
        if (result < 0 && errno != EINTR) {
            return false;
        }
    }
}

bool socketAddress(const std::string& ip, int port, sockaddr_in& address) {
    unsigned char parts[4];
    if (port < 0 || port > 65535 || !parseDottedIpv4(ip, parts)) {
        return false;
    }
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    std::memcpy(&address.sin_addr, parts, 4);
    return true;
}

// Long waits for input as one blocking receive with the socket's receive time-out, instead of a
// poll() and a receive: one system call less for every answer. The socket itself is switched to
// blocking at the first such wait (after its bounded connect); every other call on it passes
// MSG_DONTWAIT, so only these receives block. The kernel counts the time-out in timer ticks
// (rounded up), so it is set a little short of the deadline, in steps of 10 ms so that it rarely
// needs setting again; the last stretch before the deadline is left to poll(), which keeps time
// exactly.
class ReceiveTimeout {
public:
    static constexpr int kShortWait = -2;

    // The count received, 0 when the deadline passed, -1 at the end of input (`error` then holds
    // the system's error number, 0 when the peer closed the connection), or kShortWait when less
    // than kLeastMs is left or the socket cannot block.
    int receive(int fd, std::uint8_t* buffer, int most, const Deadline& deadline, int& error) {
        for (;;) {
            const int left = deadline.remainingMs();
            if (left < kLeastMs || !blocking(fd)) {
                return kShortWait;
            }
            const int timeout = (left - kTickMarginMs) / kStepMs * kStepMs;
            if (timeout != setMs_) {
                const timeval limit{timeout / 1000, (timeout % 1000) * 1000};
                if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
                    return kShortWait;
                }
                setMs_ = timeout;
            }
            const ssize_t got = ::recv(fd, buffer, static_cast<size_t>(most), 0);
            if (got > 0) {
                return static_cast<int>(got);
            }
            if (got == 0) {
                error = 0;
                return -1;  // the peer closed the connection
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                error = errno;
                return -1;
            }
        }
    }

private:
    static constexpr int kStepMs = 10;
    static constexpr int kTickMarginMs = 5;
    static constexpr int kLeastMs = kStepMs + kTickMarginMs + kStepMs;

    bool blocking(int fd) {
        if (!switched_) {
            switched_ = true;
            const int flags = ::fcntl(fd, F_GETFL);
            blocking_ = flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
        }
        return blocking_;
    }

    bool switched_ = false;
    bool blocking_ = false;
    int setMs_ = -1;
};

class PosixTcpSocket final : public TcpSocket {
public:
    explicit PosixTcpSocket(int fd) : fd_(fd) {}
    ~PosixTcpSocket() override { ::close(fd_); }

    bool usable() const { return wake_.valid(); }

    Wait waitForInputOrWake(bool watchInput, const Deadline& deadline) override {
        pollfd entries[2] = {{wake_.pollFd(), POLLIN, 0}, {watchInput ? fd_ : -1, POLLIN, 0}};
        if (!pollUntil(entries, 2, deadline)) {
            return Wait::timedOut;
        }
        if (entries[0].revents != 0) {
            wake_.drain();
            return Wait::woken;
        }
        // A closed or failed connection also reads as ready; the receive then tells.
        return (entries[1].revents & (POLLIN | POLLHUP | POLLERR)) ? Wait::inputReady
                                                                   : Wait::inputGone;
    }

    int receiveWithin(std::uint8_t* buffer, int most, const Deadline& deadline) override {
        for (;;) {
            int error = 0;
            const int got = longWaits_.receive(fd_, buffer, most, deadline, error);
            if (got == -1) {
                return noteLoss(error == 0 ? LossCause::ClosedByPeer : LossCause::Failed, error);
            }
            if (got != ReceiveTimeout::kShortWait) {
                return got;
            }
            // The last stretch, or no blocking receive to be had: poll with the exact deadline.
            pollfd entry{fd_, POLLIN, 0};
            if (!pollUntil(&entry, 1, deadline)) {
                return receiveAvailable(buffer, most);  // one last look
            }
            if ((entry.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                return noteLoss(LossCause::Failed, EBADF);
            }
            const int taken = receiveAvailable(buffer, most);
            if (taken != 0) {
                return taken;
            }
        }
    }

    int receiveAvailable(std::uint8_t* buffer, int most) override {
        for (;;) {
            const ssize_t got = ::recv(fd_, buffer, static_cast<size_t>(most), MSG_DONTWAIT);
            if (got > 0) {
                return static_cast<int>(got);
            }
            if (got == 0) {
                return noteLoss(LossCause::ClosedByPeer, 0);
            }
            if (errno == EINTR) {
                continue;
            }
            return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0
                                                             : noteLoss(LossCause::Failed, errno);
        }
    }

    int sendWithin(const std::uint8_t* bytes, int count, const Deadline& deadline) override {
        int sent = 0;
        while (sent < count) {
            const ssize_t moved = ::send(fd_, bytes + sent, static_cast<size_t>(count - sent),
                                         MSG_NOSIGNAL | MSG_DONTWAIT);
            if (moved > 0) {
                sent += static_cast<int>(moved);
                continue;
            }
            if (moved < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                return noteLoss(LossCause::Failed, errno);
            }
            pollfd entry{fd_, POLLOUT, 0};
            if (!pollUntil(&entry, 1, deadline)) {
                break;
            }
            if (entry.revents & (POLLERR | POLLNVAL)) {
                return noteLoss(LossCause::Failed, pendingError());
            }
        }
        return sent;
    }

    void wake() override { wake_.wake(); }

private:
    // The error the socket holds (after POLLERR), or EBADF when it cannot be read.
    int pendingError() const {
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error == 0) {
            return EBADF;
        }
        return error;
    }

    int fd_;
    WakePipe wake_;
    ReceiveTimeout longWaits_;
};

class PosixTcpListener final : public TcpListener {
public:
    explicit PosixTcpListener(int fd) : fd_(fd) {}
    ~PosixTcpListener() override { ::close(fd_); }

    bool usable() const { return wake_.valid(); }

    bool waitForConnection(const Deadline& deadline) override {
        pollfd entries[2] = {{wake_.pollFd(), POLLIN, 0}, {fd_, POLLIN, 0}};
        if (!pollUntil(entries, 2, deadline)) {
            return false;
        }
        if (entries[0].revents != 0) {
            wake_.drain();
        }
        return (entries[1].revents & POLLIN) != 0;
    }

    std::unique_ptr<TcpSocket> acceptConnection(std::string& peerName) override {
        sockaddr_in address{};
        socklen_t size = sizeof address;
        const int fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&address), &size,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return nullptr;
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        char ip[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &address.sin_addr, ip, sizeof ip);
        peerName = std::string(ip) + ":" + std::to_string(ntohs(address.sin_port));
        auto socket = std::make_unique<PosixTcpSocket>(fd);
        if (!socket->usable()) {
            return nullptr;
        }
        return socket;
    }

    void wake() override { wake_.wake(); }

private:
    int fd_;
    WakePipe wake_;
};

}  // namespace

bool startSocketLayer() {
    return true;
}

void stopSocketLayer() {}

namespace {

// The cause a connect() error number stands for.
OpenCause connectErrorCause(int error) {
    switch (error) {
        case ECONNREFUSED:
            return OpenCause::Refused;
        case ETIMEDOUT:
            return OpenCause::TimedOut;
        case ENETUNREACH:
        case EHOSTUNREACH:
        case ENETDOWN:
        case EHOSTDOWN:
            return OpenCause::Unreachable;
        case EACCES:
        case EPERM:
            return OpenCause::PermissionDenied;
        default:
            return OpenCause::Other;
    }
}

}  // namespace

std::unique_ptr<TcpSocket> connectTcp(const std::string& ip, int port, int timeoutMs,
                                      OpenFailure& failure, const OpenStop& stop) {
    unsigned char parts[4];
    sockaddr_in address{};
    if (!checkTcpTarget(ip, port, parts, failure) || !socketAddress(ip, port, address)) {
        return nullptr;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        failure.record(OpenCause::Other, errno);
        return nullptr;
    }
    auto socket = std::make_unique<PosixTcpSocket>(fd);
    if (!socket->usable()) {
        failure.record(OpenCause::Other, errno);
        return nullptr;
    }
    const Deadline deadline(timeoutMs);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) {
            failure.record(connectErrorCause(errno), errno);
            return nullptr;
        }
        // The stop's signal, when there is one, ends the wait the moment it is set; the question
        // itself is looked at between pieces of the wait.
        const int stopFd =
            stop.signal() != nullptr ? static_cast<int>(stop.signal()->waitable()) : -1;
        pollfd entries[2] = {{fd, POLLOUT, 0}, {stopFd, POLLIN, 0}};
        for (;;) {
            const bool ready =
                pollUntil(entries, 2, Deadline(std::min(kOpenStopLookMs, deadline.remainingMs())));
            if (stop()) {
                failure.record(OpenCause::Stopped, 0);
                return nullptr;
            }
            if (ready && entries[0].revents != 0) {
                break;
            }
            if (entries[1].revents != 0) {
                entries[1].fd = -1;  // set without a stop: no use watching it (and no spin)
            }
            if (deadline.expired()) {
                failure.value = timeoutMs;
                failure.record(OpenCause::TimedOut, 0);
                return nullptr;
            }
        }
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
            failure.record(OpenCause::Other, errno);
            return nullptr;
        }
        if (error != 0) {
            if (error == ETIMEDOUT) {
                failure.value = timeoutMs;
            }
            failure.record(connectErrorCause(error), error);
            return nullptr;
        }
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return socket;
}

std::unique_ptr<TcpListener> listenTcp(const std::string& ip, int port, int backlog) {
    sockaddr_in address{};
    if (!socketAddress(ip, port, address)) {
        return nullptr;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return nullptr;
    }
    auto listener = std::make_unique<PosixTcpListener>(fd);
    // Lets a server listen again on its port while old connections linger in TIME_WAIT; two live
    // listeners on one port are still refused.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (!listener->usable() ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, backlog) != 0) {
        return nullptr;
    }
    return listener;
}

}  // namespace korvane
