#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvane::sim {

// Two pseudo-terminals joined like a null-modem cable: what the program on one slave writes, the
// program on the other slave reads. As on a real cable, bytes sent at one line rate cannot be read
// at another: while the two ends' rates differ, the bytes are dropped. Each end keeps its slave
// open as well, so an end stays usable while its program closes and opens it again.
class NullModemLink {
public:
    NullModemLink() = default;
    ~NullModemLink();
    NullModemLink(const NullModemLink&) = delete;
    NullModemLink& operator=(const NullModemLink&) = delete;

    // Creates both ends in raw mode at 115200; false with `error` set on failure.
    bool open(std::string& error);
    const std::string& slavePath(int end) const { return ends_[end].slavePath; }

    // Moves bytes until `stop` is set (checked at least every 200 ms) or an end fails.
    void run(const std::atomic<bool>& stop);

    std::uint64_t bytesCarried() const { return carried_; }
    std::uint64_t bytesDropped() const { return dropped_; }

private:
    struct End {
        int master = -1;
        int slave = -1;
        std::string slavePath;
        std::vector<std::uint8_t> toSend;  // bytes on their way to this end's program
    };
    static constexpr std::size_t kBufferLimit = 1 << 16;

    bool receiveFrom(int from);
    bool sendTo(int to);

    End ends_[2];
    std::uint64_t carried_ = 0;
    std::uint64_t dropped_ = 0;
};

}  // namespace korvane::sim
