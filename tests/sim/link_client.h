#pragma once

#include <memory>
#include <string>

namespace korvane::simtest {

// The tests' own minimal host: raw bytes over a TCP connection or a pty slave, every read bounded
// by a deadline. Deliberately independent of the updater's channel and exchange code.
class LinkClient {
public:
    ~LinkClient();
    LinkClient(const LinkClient&) = delete;
    LinkClient& operator=(const LinkClient&) = delete;

    static std::unique_ptr<LinkClient> connectTcp(const std::string& address);  // "ADDR:PORT"
    // Opens the slave raw 8N1 at `rate`.
    static std::unique_ptr<LinkClient> openPty(const std::string& path, int rate);

    bool write(const std::string& bytes);
    // Reads until what was read ends with `end`; false when `timeoutMs` passes first (`out` then
    // holds what came).
    bool readUntil(const std::string& end, std::string& out, int timeoutMs);
    // Everything that arrives within `ms`.
    std::string readFor(int ms);
    // Writes `command` and reads up to the prompt.
    std::string exchange(const std::string& command, int timeoutMs = 3000);
    // Pty only: the slave's line rate, set with termios2 (exact for 2000000).
    bool setRate(int rate);
    // Pty only: a standard rate (9600, 115200) set the classic way, with cfsetspeed/tcsetattr.
    bool setStandardRate(int rate);
    // True once the adapter's end closed the link (read gives 0 or an error).
    bool closedByPeer(int timeoutMs);
    int fd() const { return fd_; }

private:
    explicit LinkClient(int fd, bool isPty) : fd_(fd), isPty_(isPty) {}
    int fd_;
    bool isPty_;
};

// Sets a tty's rate through termios2 (any rate the driver takes). False on failure.
bool setTtyRateExact(int fd, int rate);
int readTtyRateExact(int fd);

}  // namespace korvane::simtest
