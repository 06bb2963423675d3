#pragma once

#include <cstdint>

#include "channel/tick.h"

namespace korvane {

// What a queue pump needs from the connection it serves (a serial port or a socket). Every call
// comes from the pump thread except wake(), which any thread may call.
class PumpLink {
public:
    enum class Wait {
        inputReady,  // bytes can be received
        woken,       // wake() was called
        timedOut,
        inputGone,  // the other side hung up or the connection failed; no more input will come
    };

    virtual ~PumpLink() = default;

    // Blocks until input is ready (only when `watchInput`), wake() is called or the deadline
    // passes. A wake() that came before the call ends the next call at once.
    virtual Wait waitForInputOrWake(bool watchInput, const Deadline& deadline) = 0;
    // Takes up to `most` bytes that are already there without waiting: the count (0 when none),
    // or -1 when the input has ended.
    virtual int receiveAvailable(std::uint8_t* buffer, int most) = 0;
    // Sends up to `count` bytes within the deadline: the count sent, possibly fewer when the
    // deadline passed, or -1 on failure.
    virtual int sendWithin(const std::uint8_t* bytes, int count, const Deadline& deadline) = 0;
    // Ends the current (or next) waitForInputOrWake.
    virtual void wake() = 0;

protected:
    PumpLink() = default;
    PumpLink(const PumpLink&) = delete;
    PumpLink& operator=(const PumpLink&) = delete;
};

}  // namespace korvane
