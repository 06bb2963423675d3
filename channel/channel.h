#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "channel/channel_config.h"
#include "channel/link_loss.h"
#include "channel/read_result.h"

namespace korvane {

// One byte channel to an adapter: nine operations besides the destructor, and what became of the
// link. Both kinds implement all of them and callers reach every operation through this
// interface.
//
// For read and write: a count of 0 succeeds at once and touches nothing, a negative count fails
// at once, and the timeout is a budget in milliseconds for the whole call.
class Channel {
public:
    virtual ~Channel() = default;

    virtual void close() = 0;
    // Read only when exactly `count` bytes were placed in `buffer` before the budget ran out;
    // otherwise nothing counts as read, and the result tells a budget that ran out (TimedOut)
    // from a read that could not wait (LinkLost).
    virtual ReadResult read(std::uint8_t* buffer, int count, int timeoutMs) = 0;
    // True only when all `count` bytes were taken for sending before the budget ran out.
    virtual bool write(const std::uint8_t* bytes, int count, int timeoutMs) = 0;
    // Drops pending input (and, where the kind has them, pending output and transfers).
    virtual void purge() = 0;
    virtual int available() = 0;
    virtual bool isOpen() = 0;
    virtual bool reopen() = 0;
    // Server kinds only: the connected peer matching "remote_ip"/"remote_port" of `config`, owned
    // by the server; nullptr otherwise.
    virtual Channel* acceptPeer(const ChannelConfig& config, int timeoutMs) = 0;
    // 1 when the link now runs at `baud`, -1 otherwise.
    virtual int setBaudRate(int baud) = 0;
    // How the open link was lost (the device hung up, the peer closed or reset the connection, a
    // read or write failed), as first seen; cause None while it works. A channel that cannot
    // tell says None.
    virtual LinkLoss linkLoss() const { return {}; }

    // Answers are read a byte at a time. Bytes that a read already brought in and no read has
    // taken yet are shown here, so that a reader can look at them without a call per byte: no
    // system call, no clock, no wait. The view stays valid until the next operation on the
    // channel; consumeReceived(n) then takes its first n bytes, as a read of n bytes would (a
    // traffic log writes them as one block). A channel that keeps no such bytes shows none, and
    // its reader reads byte by byte.
    virtual std::span<const std::uint8_t> received() { return {}; }
    virtual void consumeReceived(std::size_t /*count*/) {}

protected:
    Channel() = default;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;
};

}  // namespace korvane
