#pragma once

#include <cstdint>

#include "channel/channel_config.h"
#include "channel/link_loss.h"

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
    // True only when exactly `count` bytes were placed in `buffer` before the budget ran out.
    virtual bool read(std::uint8_t* buffer, int count, int timeoutMs) = 0;
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

protected:
    Channel() = default;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;
};

}  // namespace korvane
