// korvane-bench-client: the least a host can do to drive the emulated adapter over TCP, as the
// yardstick for the updater's own TCP path. One blocking socket with TCP_NODELAY; for every
// command: write it with its CR, then read() until the answer's ">" has come. No queues, no
// threads, no deadlines.
//
//   korvane-bench-client IP:PORT COMMANDS_FILE
//
// COMMANDS_FILE holds one command per line, without its CR (the emulator's --trace output gives
// them). Exit status 0 when every command was answered with a prompt.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

int connectTo(const std::string& address) {
    const std::size_t colon = address.rfind(':');
    if (colon == std::string::npos) {
        return -1;
    }
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<std::uint16_t>(std::stoi(address.substr(colon + 1))));
    if (::inet_pton(AF_INET, address.substr(0, colon).c_str(), &peer.sin_addr) != 1) {
        return -1;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t moved = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (moved < 0 && errno == EINTR) {
            continue;
        }
        if (moved <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(moved);
    }
    return true;
}

bool readToPrompt(int fd) {
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        if (std::memchr(buffer, '>', static_cast<std::size_t>(got)) != nullptr) {
            return true;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: korvane-bench-client IP:PORT COMMANDS_FILE\n");
        return 2;
    }
    std::ifstream in(argv[2]);
    std::vector<std::string> commands;
    for (std::string line; std::getline(in, line);) {
        commands.push_back(line + "\r");
    }
    const int fd = connectTo(argv[1]);
    if (fd < 0) {
        std::fprintf(stderr, "korvane-bench-client: cannot connect to %s\n", argv[1]);
        return 1;
    }
    for (const std::string& command : commands) {
        if (!writeAll(fd, command) || !readToPrompt(fd)) {
            std::fprintf(stderr, "korvane-bench-client: no answer to %s\n", command.c_str());
            ::close(fd);
            return 1;
        }
    }
    ::close(fd);
    return 0;
}
