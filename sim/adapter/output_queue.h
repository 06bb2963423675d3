#pragma once

#include <cstdint>
#include <deque>
#include <limits>
#include <string>

namespace korvane::sim {

inline constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

// Nanoseconds one byte takes on a serial link at `rate` (10 bits, 8N1); 0 for rate 0.
std::int64_t byteTimeNs(int rate);

// The adapter's outgoing bytes, in order, each piece released no earlier than its ready time and,
// when paced, one byte per byte time after the link is free. Pieces leave strictly in order.
//
// Every piece carries the rate the adapter's end ran at when it was queued. When the host's end
// runs at another rate at the moment the bytes leave, they are garbled: counted, not delivered.
// A host rate of 0 means the link has no rate of its own (TCP) and always matches.
class OutputQueue {
public:
    // What a call to `collect` ran into besides plain bytes.
    struct Events {
        bool announcementSent = false;  // an announcement went out at matching rates
        bool announcementLost = false;  // its window closed before the host's end matched
        bool dropReached = false;       // everything before a drop marker has left
    };

    void push(std::string bytes, std::int64_t readyNs, int rate, std::int64_t perByteNs);
    // Bytes that leave only once the host's end runs at `rate`, or are lost `windowNs` after they
    // could first have left.
    void pushAnnouncement(std::string bytes, std::int64_t readyNs, int rate, std::int64_t perByteNs,
                          std::int64_t windowNs);
    // Marks the point where the link is to be closed.
    void pushDrop(std::int64_t readyNs);

    // Appends to `out` every byte due by `nowNs` that the host can read.
    Events collect(std::int64_t nowNs, int hostRate, std::string& out);
    // When `collect` has something to do next; kNever when nothing waits.
    std::int64_t nextDueNs(int hostRate) const;
    // True while an announcement waits for the host's end to reach its rate.
    bool waitingForHostRate(int hostRate) const;
    bool empty() const { return pieces_.empty(); }
    void clear();

    std::uint64_t bytesSent() const { return bytesSent_; }
    std::uint64_t bytesGarbled() const { return bytesGarbled_; }
    double linkSeconds() const { return linkSeconds_; }

private:
    enum class Kind { Bytes, Announcement, Drop };
    struct Piece {
        Kind kind = Kind::Bytes;
        std::string bytes;
        std::size_t sent = 0;
        std::int64_t readyNs = 0;
        std::int64_t startNs = -1;  // fixed when the piece reaches the head of the queue
        int rate = 0;
        std::int64_t perByteNs = 0;
        std::int64_t windowNs = 0;
    };

    std::int64_t startOf(const Piece& piece) const;
    static bool ratesMatch(int hostRate, int pieceRate);

    std::deque<Piece> pieces_;
    std::int64_t linkFreeNs_ = 0;
    std::uint64_t bytesSent_ = 0;
    std::uint64_t bytesGarbled_ = 0;
    double linkSeconds_ = 0.0;
};

}  // namespace korvane::sim
