#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/e2e/silent_listener.h"

namespace korvane::e2e {

SilentListener::SilentListener(bool acceptQueueFull) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd_, acceptQueueFull ? 0 : 4) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    if (acceptQueueFull) {
        // A backlog of 0 holds one connection; later attempts are not answered while it waits.
        filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (filler_ < 0 ||
            ::connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            return;
        }
    }
    port_ = ntohs(address.sin_port);
}

SilentListener::~SilentListener() {
    if (filler_ >= 0) {
        ::close(filler_);
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

}  // namespace korvane::e2e
