#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "channel/read_result.h"
#include "channel/tcp/tcp_socket.h"
#include "platform/tick.h"

namespace korvane {

// The receiving side of a TCP client, run on the caller's thread: what the socket holds is taken
// in one receive into a read-ahead, and reads are served from there. A one-byte read then costs
// no lock, no wake-up and no system call as long as bytes are waiting, and the answer to a command
// reaches the caller without a hand-over between threads.
//
// To a caller this is a receive queue: bytes stay until read or purged, a read that cannot be
// served within its budget takes nothing, and at most kCapacity bytes are held (further input
// waits in the socket). Once the connection's input has ended (closed or reset by the other side)
// a read that the bytes still held cannot serve fails at once.
class DirectReceiver {
public:
    static constexpr std::size_t kCapacity = 1u << 20;
    static constexpr std::chrono::microseconds kRecentlyEmptied{1000};

    explicit DirectReceiver(TcpSocket& socket);
    DirectReceiver(const DirectReceiver&) = delete;
    DirectReceiver& operator=(const DirectReceiver&) = delete;

    // Moves `count` bytes into `buffer` when they are held already; no system call, no clock.
    bool takeHeld(std::uint8_t* buffer, std::size_t count) {
        if (heldCount() < count) {
            return false;
        }
        if (count == 1) {
            *buffer = bytes_[start_++];  // how the command exchange reads: one byte at a time
        } else {
            std::memcpy(buffer, bytes_.data() + start_, count);
            start_ += count;
        }
        return true;
    }
    // Read when `count` bytes were moved into `buffer` before the deadline passed; TimedOut when
    // it passed first; LinkLost at once when the input has ended and too few bytes are held, and
    // for a count above kCapacity. Nothing is taken unless Read. A read whose deadline has passed
    // does not ask the socket again within kRecentlyEmptied of a receive that emptied it (as
    // purge()).
    ReadResult read(std::uint8_t* buffer, std::size_t count, const Deadline& deadline);
    // The bytes held now, which a read would take first; valid until the next call.
    std::span<const std::uint8_t> held() const { return {bytes_.data() + start_, end_ - start_}; }
    // Takes the first `count` held bytes (at most all of them).
    void consume(std::size_t count) { start_ += std::min(count, end_ - start_); }
    // Drops every byte received so far, those still in the socket included (up to kCapacity).
    // A receive that found the socket empty less than kRecentlyEmptied ago stands for asking it
    // again: bytes that came in that last moment are left for the next read (a pump that takes
    // input in passes of 1 ms leaves them the same way). In a run of commands this saves a
    // system call per command; after any pause the socket is asked. An answer left in the socket
    // that way is still found: it comes before the echo of the next command.
    void purge();
    // The bytes a read could take now without waiting.
    std::size_t available();
    // Whether the input has ended; no byte will come any more.
    bool ended() const { return ended_; }

private:
    std::size_t heldCount() const { return end_ - start_; }
    bool emptiedRecently() const;
    // One receive, with room for at least `wanted` bytes where the bound allows, of what the
    // socket holds (`wait` null) or of what comes until `*wait`: the count, 0 when nothing came,
    // -1 when the input ended.
    int receiveSome(std::size_t wanted, const Deadline* wait);

    TcpSocket& socket_;
    std::vector<std::uint8_t> bytes_;  // unread bytes are [start_, end_)
    std::size_t start_ = 0;
    std::size_t end_ = 0;
    bool ended_ = false;
    // The last receive took all the socket held, at emptiedAt_.
    bool emptied_ = false;
    std::chrono::steady_clock::time_point emptiedAt_;
};

}  // namespace korvane
