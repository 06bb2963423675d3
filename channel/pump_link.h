#pragma once

#include <atomic>
#include <cstdint>

#include "channel/link_loss.h"
#include "platform/tick.h"

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

    // How the link was lost, as first seen by any of the calls above; cause None while none saw
    // a loss. Any thread may ask.
    LinkLoss loss() const {
        const std::uint64_t packed = loss_.load(std::memory_order_acquire);
        return LinkLoss{static_cast<LossCause>(packed >> 32),
                        static_cast<int>(static_cast<std::uint32_t>(packed))};
    }

protected:
    PumpLink() = default;
    PumpLink(const PumpLink&) = delete;
    PumpLink& operator=(const PumpLink&) = delete;

    // Records a loss the platform saw; only the first one counts. Returns -1, for a call that
    // fails with it.
    int noteLoss(LossCause cause, int systemCode) {
        const std::uint64_t packed =
            (static_cast<std::uint64_t>(cause) << 32) | static_cast<std::uint32_t>(systemCode);
        std::uint64_t none = 0;
        loss_.compare_exchange_strong(none, packed, std::memory_order_acq_rel);
        return -1;
    }

private:
    // The cause in the high half, the system's error number in the low half; 0 while none.
    std::atomic<std::uint64_t> loss_{0};
};

}  // namespace korvane
