#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/windows_api.h"
// After windows.h, which the lean set keeps from including the old winsock.h.
#include <winsock2.h>

namespace korvane::test {

// Makes a fresh temporary folder the current directory for its lifetime.
class ScopedTempCwd {
public:
    ScopedTempCwd();
    ~ScopedTempCwd();
    ScopedTempCwd(const ScopedTempCwd&) = delete;
    ScopedTempCwd& operator=(const ScopedTempCwd&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string previous_;
    std::string path_;
};

// Two COM ports joined like a null-modem cable (KORVANE_TEST_COM_PAIR="COM21,COM22"); the channel
// under test opens `channelPort`, the test plays the adapter on `peerPort`. Bytes pass only while
// both ends run at the same rate.
struct ComPair {
    std::string channelPort;
    std::string peerPort;
};
std::optional<ComPair> comPairFromEnvironment();

// The adapter's end of the cable, driven with plain blocking Win32 calls.
class RawComPeer {
public:
    explicit RawComPeer(const std::string& name, int baud = 115200);
    ~RawComPeer();
    RawComPeer(const RawComPeer&) = delete;
    RawComPeer& operator=(const RawComPeer&) = delete;

    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool setBaud(int baud);
    bool write(const std::vector<std::uint8_t>& bytes);
    bool write(const std::string& text);
    // Up to `count` bytes, waiting at most `timeoutMs` for them.
    std::vector<std::uint8_t> read(std::size_t count, int timeoutMs);
    // Drops whatever arrived so far.
    void discardInput();

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A loopback listener and client on raw Winsock, for playing the adapter. Each holds its own
// WSAStartup for its lifetime.
class RawListener {
public:
    RawListener();
    ~RawListener();
    RawListener(const RawListener&) = delete;
    RawListener& operator=(const RawListener&) = delete;
    // A connected socket, or INVALID_SOCKET when none came within `timeoutMs`.
    SOCKET acceptOne(int timeoutMs);
    int port() const { return port_; }

private:
    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    int port_ = 0;
};

class RawSocket {
public:
    explicit RawSocket(SOCKET socket = INVALID_SOCKET) : socket_(socket) {}
    ~RawSocket();
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;
    bool valid() const { return socket_ != INVALID_SOCKET; }
    bool sendAll(const std::vector<std::uint8_t>& bytes);
    // Up to `count` bytes, waiting at most `timeoutMs` for them.
    std::vector<std::uint8_t> receive(std::size_t count, int timeoutMs);
    void close();
    void adopt(SOCKET socket) {
        close();
        socket_ = socket;
    }

private:
    SOCKET socket_;
};

// Connects a raw client to 127.0.0.1:`port` (own WSAStartup, released when it goes).
class RawClient {
public:
    explicit RawClient(int port);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;
    RawSocket& socket() { return socket_; }
    int localPort() const { return localPort_; }

private:
    bool started_ = false;
    RawSocket socket_;
    int localPort_ = 0;
};

// A loopback port nobody listens on at the moment.
int unusedLoopbackPort();

// Whether this process holds no WSAStartup at the moment (socket() then fails with
// WSANOTINITIALISED).
bool socketLayerReleased();

std::vector<std::uint8_t> patternBytes(std::size_t count, unsigned seed = 1);
std::string fileBytes(const std::string& path);

// Processor time (user + kernel) of the whole process.
std::chrono::microseconds processCpuTime();

using Clock = std::chrono::steady_clock;
inline long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace korvane::test
