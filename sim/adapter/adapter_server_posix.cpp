#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "sim/adapter/adapter_server.h"

namespace korvane::sim {

namespace {

constexpr std::int64_t kRateWatchPeriodNs = 1'000'000;  // how often a pending rate change is read
constexpr std::size_t kReadChunk = 4096;

std::int64_t steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

AdapterServer::AdapterServer(AdapterSettings settings, ServerOptions options)
    : options_(std::move(options)), originNs_(steadyNs()), adapter_(std::move(settings)) {}

AdapterServer::~AdapterServer() {
    stop();
    for (int& fd : wakeFds_) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

std::int64_t AdapterServer::nowNs() const {
    return steadyNs() - originNs_;
}

bool AdapterServer::open(std::string* error) {
    std::string reason;
    if (opened_) {
        return true;
    }
    if (wakeFds_[0] < 0 && pipe2(wakeFds_, O_NONBLOCK | O_CLOEXEC) != 0) {
        reason = std::string("pipe failed: ") + std::strerror(errno);
    } else if (options_.link == ServerOptions::Link::Tcp) {
        if (listener_.open(options_.tcpAddress, options_.tcpPort, reason)) {
            opened_ = true;
        }
    } else {
        int rate = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            rate = adapter_.status().adapterRate;
        }
        if (pty_.open(rate, reason)) {
            opened_ = true;
        }
    }
    if (!opened_ && error != nullptr) {
        *error = reason;
    }
    return opened_;
}

std::string AdapterServer::address() const {
    if (options_.link == ServerOptions::Link::Pty) {
        return ptyPath();
    }
    return listener_.address() + ":" + std::to_string(listener_.port());
}

std::string AdapterServer::hostDescriptor(int baud) const {
    if (options_.link == ServerOptions::Link::Pty) {
        return "com|" + ptyPath() + ":" + std::to_string(baud);
    }
    return "tcp|" + address();
}

int AdapterServer::tcpPort() const {
    return listener_.port();
}

std::string AdapterServer::ptyPath() const {
    return pty_.slavePath();
}

bool AdapterServer::start(std::string* error) {
    if (thread_.joinable()) {
        return true;
    }
    if (!open(error)) {
        return false;
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void AdapterServer::requestStop() noexcept {
    stopRequested_.store(true);
    if (wakeFds_[1] >= 0) {
        const char byte = 1;
        const ssize_t written = ::write(wakeFds_[1], &byte, 1);
        (void)written;
    }
}

void AdapterServer::stop() {
    requestStop();
    if (thread_.joinable()) {
        thread_.join();
    }
    listener_.close();
    pty_.close();
}

void AdapterServer::run() {
    if (!opened_) {
        return;
    }
    // The wire-time model releases bytes at their due times; the kernel's default timer slack
    // (50 µs) would hold each release back by up to that much, time a real wire does not take.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    if (options_.link == ServerOptions::Link::Tcp) {
        serveTcp();
    } else {
        servePty();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        linkOpen_ = false;
    }
    writeImageIfCompleted(true);
    changed_.notify_all();
}

void AdapterServer::serveTcp() {
    while (!stopRequested_.load()) {
        pollfd fds[2] = {{listener_.fd(), POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) {
            return;
        }
        if (stopRequested_.load() || (fds[1].revents & POLLIN) != 0) {
            return;
        }
        const int peer = listener_.acceptOne();
        if (peer < 0) {
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            linkOpen_ = true;
            ++connections_;
            adapter_.setHostRate(0);
        }
        changed_.notify_all();
        const bool goOn = serveLink(peer, false);
        ::shutdown(peer, SHUT_RDWR);
        ::close(peer);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            linkOpen_ = false;
            adapter_.linkLost();
        }
        changed_.notify_all();
        if (!goOn) {
            return;
        }
    }
}

void AdapterServer::servePty() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        linkOpen_ = true;
        connections_ = 1;
    }
    changed_.notify_all();
    serveLink(pty_.masterFd(), true);
    // Whether the drop fault closed it or serving ends, the pty goes away with its slave path.
    pty_.close();
}

bool AdapterServer::serveLink(int fd, bool isPty) {
    std::string pending;
    while (!stopRequested_.load()) {
        bool drop = false;
        std::int64_t dueNs = kNever;
        bool watchRate = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (isPty) {
                adapter_.setHostRate(pty_.hostRate());
            }
            if (pending.empty()) {
                adapter_.collectOutput(nowNs(), pending);
            }
            drop = adapter_.takeLinkDrop();
            dueNs = adapter_.nextDueNs();
            watchRate = adapter_.watchingHostRate();
        }
        if (!pending.empty() && !writePending(fd, isPty, pending)) {
            return true;
        }
        afterEvent();
        if (drop) {
            return true;
        }

        const std::int64_t now = nowNs();
        std::int64_t wakeNs = dueNs;
        if (watchRate) {
            wakeNs = std::min(wakeNs, now + kRateWatchPeriodNs);
        }
        // While bytes wait for room in the link, only POLLOUT may move things on.
        if (!pending.empty()) {
            wakeNs = kNever;
        }
        timespec timeout{};
        timespec* timeoutPointer = nullptr;
        if (wakeNs != kNever) {
            const std::int64_t left = std::max<std::int64_t>(0, wakeNs - now);
            timeout.tv_sec = static_cast<time_t>(left / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(left % 1'000'000'000);
            timeoutPointer = &timeout;
        }
        const short events = static_cast<short>(POLLIN | (pending.empty() ? 0 : POLLOUT));
        pollfd fds[2] = {{fd, events, 0}, {wakeFds_[0], POLLIN, 0}};
        const int ready = ppoll(fds, 2, timeoutPointer, nullptr);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return true;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return false;
        }
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        std::uint8_t buffer[kReadChunk];
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0) {
            receiveBytes(buffer, static_cast<std::size_t>(count), isPty);
        } else if (count == 0) {
            return true;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return true;
        }
    }
    return false;
}

void AdapterServer::receiveBytes(const std::uint8_t* bytes, std::size_t count, bool isPty) {
    std::vector<ReceivedCommand> fresh;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (isPty) {
            adapter_.setHostRate(pty_.hostRate());
        }
        const std::size_t before = adapter_.commands().size();
        adapter_.receive(bytes, count, nowNs());
        if (options_.commandObserver) {
            const auto& all = adapter_.commands();
            fresh.assign(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        }
    }
    for (const ReceivedCommand& command : fresh) {
        options_.commandObserver(command);
    }
}

bool AdapterServer::writePending(int fd, bool isPty, std::string& pending) {
    while (!pending.empty()) {
        const ssize_t written = isPty ? ::write(fd, pending.data(), pending.size())
                                      : ::send(fd, pending.data(), pending.size(), MSG_NOSIGNAL);
        if (written > 0) {
            pending.erase(0, static_cast<std::size_t>(written));
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        } else {
            return false;
        }
    }
    return true;
}

void AdapterServer::afterEvent() {
    writeImageIfCompleted(false);
    changed_.notify_all();
}

void AdapterServer::writeImageIfCompleted(bool always) {
    if (options_.imageOut.empty()) {
        return;
    }
    FirmwareImage copy;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int completed = adapter_.updatesCompleted();
        if (!always && completed == imagesWrittenFor_) {
            return;
        }
        imagesWrittenFor_ = completed;
        copy = adapter_.image();
    }
    writeImageFile(copy, options_.imageOut, options_.imageFormat);
}

AdapterStatus AdapterServer::status() const {
    std::lock_guard<std::mutex> lock(mutex_);
    AdapterStatus status = adapter_.status();
    status.linkOpen = linkOpen_;
    status.connections = connections_;
    return status;
}

FirmwareImage AdapterServer::image() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return adapter_.image();
}

std::vector<ReceivedCommand> AdapterServer::commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return adapter_.commands();
}

void AdapterServer::setFaults(const FaultPlan& faults) {
    std::lock_guard<std::mutex> lock(mutex_);
    adapter_.setFaults(faults);
}

bool AdapterServer::waitUntil(const std::function<bool(const AdapterStatus&)>& condition,
                              int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    return changed_.wait_until(lock, deadline, [&] {
        AdapterStatus status = adapter_.status();
        status.linkOpen = linkOpen_;
        status.connections = connections_;
        return condition(status);
    });
}

}  // namespace korvane::sim
