#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace korvane::test {

// A pseudo-terminal pair: the channel opens `slaveName`, the test plays the device on `master`.
// The slave stays open in the test too, so the line persists while the channel closes and
// reopens it.
struct Pty {
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    void closeMaster();

    int master = -1;
    int slave = -1;
    std::string slaveName;
};

// Makes a fresh temporary directory the current directory for its lifetime.
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

// Writes everything to a descriptor (blocking in poll as needed); false on error.
bool writeAll(int fd, const std::vector<std::uint8_t>& bytes);
bool writeAll(int fd, const std::string& text);
// Reads exactly `count` bytes within `timeoutMs`; returns what arrived (fewer on time-out).
std::vector<std::uint8_t> readExactly(int fd, std::size_t count, int timeoutMs);
// True when the descriptor delivers end of input (or an error) within `timeoutMs`.
bool seesEndOfInput(int fd, int timeoutMs);

// Reads a whole text file; empty when missing.
std::string fileText(const std::string& path);
std::vector<std::string> fileLines(const std::string& path);

// Processor time (user + system) of the whole process.
std::chrono::microseconds processCpuTime();

// A raw loopback TCP listener for playing the adapter.
struct RawListener {
    // `receiveBuffer` above 0 shrinks the receive buffer of the accepted connections.
    explicit RawListener(int receiveBuffer = 0);
    ~RawListener();
    int acceptOne(int timeoutMs);  // connected descriptor or -1
    int fd = -1;
    int port = 0;
};

// A raw loopback TCP client connected to 127.0.0.1:`port`; -1 on failure. Its own port goes to
// `localPort`.
int rawConnect(int port, int& localPort);

// A loopback port nobody listens on at the moment.
int unusedLoopbackPort();

std::vector<std::uint8_t> patternBytes(std::size_t count, unsigned seed = 1);

using Clock = std::chrono::steady_clock;
inline long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace korvane::test
