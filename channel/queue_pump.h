#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "channel/byte_queue.h"
#include "channel/pump_link.h"
#include "channel/read_result.h"
#include "platform/critical_lock.h"
#include "platform/worker_thread.h"

namespace korvane {

// The pump thread of a buffered channel: moves received bytes from the link into the receive
// queue and queued bytes from the transmit queue to the link, at most 2048 bytes per pass each
// way. It sleeps in the link's wait until input arrives or someone wakes it, so an idle channel
// costs no processor time and a queued byte leaves at once. A pump made `sendOnly` leaves the
// link's input to its owner, who receives on the caller's thread.
//
// A link that fails is lost for good: when the input ends (the other side closed or reset the
// connection, a serial line hung up) or a send fails or moves nothing within 5000 ms, both queues
// end, so every later read that the receive queue cannot serve and every later write fail at
// once. A failed send also ends the thread; ended input is no longer watched, so a dead
// connection does not keep the pump busy.
class QueuePump {
public:
    static constexpr int kBlockSize = 2048;
    static constexpr int kSendBudgetMs = 5000;

    enum class Role {
        sendAndReceive,
        sendOnly,  // the owner takes the link's input itself
    };

    // Starts the thread at once. The link and the queues must outlive the pump. Both queues start
    // open (not ended).
    QueuePump(PumpLink& link, ByteQueue& rxQueue, ByteQueue& txQueue, CriticalLock& queueLock,
              Role role = Role::sendAndReceive);
    // Stops and joins the thread.
    ~QueuePump();
    QueuePump(const QueuePump&) = delete;
    QueuePump& operator=(const QueuePump&) = delete;

    // Asks the thread to end and waits until it has.
    void stop();
    // Tells the pump that the transmit queue has bytes to send.
    void notifyQueuedForSending() { link_.wake(); }
    // Sends what the link takes at once of `bytes` (at most one block) on the caller's thread,
    // provided nothing queued earlier is still waiting or being sent (so the order of bytes is
    // kept). Returns how many were sent, or -1 when the link failed (it is then lost); the caller
    // queues the rest. Saves the hand-over to the pump thread and back on every command.
    int sendAtOnce(const std::uint8_t* bytes, int count);
    // Tells the pump that bytes were taken from the receive queue, which held `sizeBefore`
    // bytes; the pump stops receiving while that queue is full.
    void notifyReceiveTaken(std::size_t sizeBefore);
    // Whether the thread has ended on its own (a failed send).
    bool ended() const { return ended_.load(); }
    // Marks the link lost (the owner found its input ended): ends both queues.
    void markLinkLost();
    bool linkLost() const { return linkLost_.load(); }

private:
    static constexpr int kIdleWaitMs = 1000;

    void run();
    bool stopRequested();
    int receiveRoom();
    bool sendAll(const std::uint8_t* bytes, int count);

    PumpLink& link_;
    ByteQueue& rxQueue_;
    ByteQueue& txQueue_;
    CriticalLock& queueLock_;
    const Role role_;
    // Held while bytes leave the transmit queue until they are sent; lock order: sendLock_, then
    // queueLock, then a queue's own lock.
    std::mutex sendLock_;
    CriticalLock stopLock_;
    bool stop_ = false;
    std::atomic<bool> ended_{false};
    std::atomic<bool> linkLost_{false};
    WorkerThread thread_;  // last: starts only when everything above exists
};

// The caller's side of a buffered channel's receive queue: Read when `count` bytes were queued
// before the budget ran out, then moved into `buffer`; TimedOut when it ran out first. A count of
// 0 succeeds, a negative one fails (LinkLost), both at once; so does a read the queue cannot serve
// once the link is lost (LinkLost). `pump` may be null (channel not open).
ReadResult readFromQueue(ByteQueue& rxQueue, CriticalLock& queueLock, QueuePump* pump,
                         std::uint8_t* buffer, int count, int timeoutMs);

// The caller's side of the transmit queue: sends what the link takes at once when nothing is
// queued, queues the rest and waits until the pump has taken it all; false when the budget ran
// out first (queued bytes are still sent later). Bytes beyond the queue's capacity are queued as
// room appears; those not queued when the budget runs out are not sent. Fails at once when the
// link is lost.
bool writeToQueue(ByteQueue& txQueue, CriticalLock& queueLock, QueuePump* pump,
                  const std::uint8_t* bytes, int count, int timeoutMs);

}  // namespace korvane
