#pragma once

#include <string>

namespace korvane::sim {

// A listening TCP socket that hands out one connection at a time.
class TcpListener {
public:
    TcpListener() = default;
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Listens on `address` (dotted IPv4) and `port` (0: any free port). False with `error` set.
    bool open(const std::string& address, int port, std::string& error);
    void close();

    int fd() const { return fd_; }
    const std::string& address() const { return address_; }
    int port() const { return port_; }
    // A waiting connection as a non-blocking socket, or -1 when none waits.
    int acceptOne();

private:
    int fd_ = -1;
    std::string address_;
    int port_ = 0;
};

}  // namespace korvane::sim
