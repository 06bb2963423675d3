#include "channel/direct_receiver.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace korvane {

namespace {
// What one receive asks for at least: an adapter's answer comes whole.
constexpr std::size_t kReceiveChunk = 4096;
}  // namespace

DirectReceiver::DirectReceiver(TcpSocket& socket) : socket_(socket) {}

ReadResult DirectReceiver::read(std::uint8_t* buffer, std::size_t count, const Deadline& deadline) {
    if (count > kCapacity) {
        return ReadResult::LinkLost;  // can never be held: do not sit out the whole budget
    }
    for (;;) {
        if (takeHeld(buffer, count)) {
            return ReadResult::Read;
        }
        if (ended_) {
            return ReadResult::LinkLost;
        }
        // A look that may not wait, just after a receive emptied the socket, finds what purge()
        // would find: nothing yet. Bytes that came in that last moment stay for the next read.
        if (emptiedRecently() && deadline.expired()) {
            return ReadResult::TimedOut;
        }
        // Waits only when nothing is there: one system call whether the answer has come or not.
        const int got = receiveSome(count - heldCount(), &deadline);
        if (got < 0) {
            return ReadResult::LinkLost;
        }
        if (got == 0 && deadline.expired()) {
            return ReadResult::TimedOut;
        }
    }
}

void DirectReceiver::purge() {
    start_ = end_ = 0;
    if (emptiedRecently()) {
        return;
    }
    std::size_t dropped = 0;
    while (!ended_ && dropped < kCapacity) {
        const int got = receiveSome(kReceiveChunk, nullptr);
        if (got <= 0) {
            break;
        }
        dropped += static_cast<std::size_t>(got);
        start_ = end_ = 0;
    }
}

std::size_t DirectReceiver::available() {
    if (!ended_) {
        receiveSome(kReceiveChunk, nullptr);
    }
    return heldCount();
}

int DirectReceiver::receiveSome(std::size_t wanted, const Deadline* wait) {
    if (start_ == end_) {
        start_ = end_ = 0;
    }
    const std::size_t room = kCapacity - heldCount();
    if (room == 0) {
        return 0;  // full: further input waits in the socket until a read makes room
    }
    wanted = std::min(std::max(wanted, kReceiveChunk), room);
    if (bytes_.size() - end_ < wanted) {
        // Unread bytes go to the front, then the buffer grows as far as the bound allows.
        if (start_ > 0) {
            std::memmove(bytes_.data(), bytes_.data() + start_, heldCount());
            end_ = heldCount();
            start_ = 0;
        }
        if (bytes_.size() - end_ < wanted) {
            bytes_.resize(std::min(kCapacity, std::max(end_ + wanted, 2 * bytes_.size())));
        }
    }
    const std::size_t most = std::min<std::size_t>(bytes_.size() - end_, INT_MAX);
    std::uint8_t* const into = bytes_.data() + end_;
    const int got = wait != nullptr ? socket_.receiveWithin(into, static_cast<int>(most), *wait)
                                    : socket_.receiveAvailable(into, static_cast<int>(most));
    if (got < 0) {
        ended_ = true;
        return -1;
    }
    emptied_ = static_cast<std::size_t>(got) < most;
    if (emptied_) {
        emptiedAt_ = std::chrono::steady_clock::now();
    }
    end_ += static_cast<std::size_t>(got);
    return got;
}

bool DirectReceiver::emptiedRecently() const {
    return emptied_ && std::chrono::steady_clock::now() - emptiedAt_ < kRecentlyEmptied;
}

}  // namespace korvane
