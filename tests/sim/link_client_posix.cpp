#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

#include "link_client.h"

namespace korvane::simtest {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

LinkClient::~LinkClient() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::unique_ptr<LinkClient> LinkClient::connectTcp(const std::string& address) {
    const std::size_t colon = address.rfind(':');
    if (colon == std::string::npos) {
        return nullptr;
    }
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<std::uint16_t>(std::stoi(address.substr(colon + 1))));
    if (inet_pton(AF_INET, address.substr(0, colon).c_str(), &where.sin_addr) != 1) {
        return nullptr;
    }
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return nullptr;
    }
    if (connect(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
        ::close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return std::unique_ptr<LinkClient>(new LinkClient(fd, false));
}

std::unique_ptr<LinkClient> LinkClient::openPty(const std::string& path, int rate) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    termios settings{};
    tcgetattr(fd, &settings);
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &settings);
    auto client = std::unique_ptr<LinkClient>(new LinkClient(fd, true));
    if (!client->setRate(rate)) {
        return nullptr;
    }
    return client;
}

bool LinkClient::setRate(int rate) {
    return isPty_ && setTtyRateExact(fd_, rate);
}

bool LinkClient::setStandardRate(int rate) {
    const speed_t speed = rate == 9600 ? B9600 : rate == 115200 ? B115200 : B0;
    termios settings{};
    return isPty_ && speed != B0 && tcgetattr(fd_, &settings) == 0 &&
           cfsetspeed(&settings, speed) == 0 && tcsetattr(fd_, TCSANOW, &settings) == 0;
}

bool LinkClient::write(const std::string& bytes) {
    std::size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        pollfd wait{fd_, POLLOUT, 0};
        if (poll(&wait, 1, msLeft(deadline)) <= 0) {
            return false;
        }
    }
    return true;
}

bool LinkClient::readUntil(const std::string& end, std::string& out, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < end.size() || out.compare(out.size() - end.size(), end.size(), end) != 0) {
        pollfd wait{fd_, POLLIN, 0};
        if (poll(&wait, 1, msLeft(deadline)) <= 0) {
            return false;
        }
        char byte = 0;
        const ssize_t n = ::read(fd_, &byte, 1);
        if (n == 1) {
            out += byte;
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            return false;
        }
    }
    return true;
}

std::string LinkClient::readFor(int ms) {
    std::string out;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    char buffer[4096];
    for (;;) {
        pollfd wait{fd_, POLLIN, 0};
        if (poll(&wait, 1, msLeft(deadline)) <= 0) {
            return out;
        }
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            out.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            return out;
        }
    }
}

std::string LinkClient::exchange(const std::string& command, int timeoutMs) {
    std::string reply;
    if (write(command)) {
        readUntil(">", reply, timeoutMs);
    }
    return reply;
}

bool LinkClient::closedByPeer(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[256];
    for (;;) {
        pollfd wait{fd_, POLLIN, 0};
        if (poll(&wait, 1, msLeft(deadline)) <= 0) {
            return false;
        }
        if ((wait.revents & (POLLHUP | POLLERR)) != 0) {
            return true;
        }
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            return true;
        }
    }
}

}  // namespace korvane::simtest
