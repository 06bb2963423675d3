#include "channel/queue_pump.h"

#include <algorithm>
#include <array>
#include <mutex>

namespace korvane {

namespace {
// Both queues must be open before the thread can end them.
ByteQueue& restarted(ByteQueue& queue) {
    queue.restart();
    return queue;
}
}  // namespace

QueuePump::QueuePump(PumpLink& link, ByteQueue& rxQueue, ByteQueue& txQueue,
                     CriticalLock& queueLock, Role role)
    : link_(link),
      rxQueue_(restarted(rxQueue)),
      txQueue_(restarted(txQueue)),
      queueLock_(queueLock),
      role_(role),
      thread_([this] { run(); }) {}

QueuePump::~QueuePump() {
    stop();
}

void QueuePump::stop() {
    {
        std::lock_guard<CriticalLock> hold(stopLock_);
        stop_ = true;
    }
    link_.wake();
    thread_.join();
}

bool QueuePump::stopRequested() {
    std::lock_guard<CriticalLock> hold(stopLock_);
    return stop_;
}

void QueuePump::markLinkLost() {
    // The transmit side first: a reader that wakes on the end of its queue may write next.
    linkLost_.store(true);
    txQueue_.end();
    rxQueue_.end();
}

void QueuePump::notifyReceiveTaken(std::size_t sizeBefore) {
    if (sizeBefore >= rxQueue_.capacity()) {
        link_.wake();
    }
}

int QueuePump::receiveRoom() {
    const std::size_t size = rxQueue_.size();
    const std::size_t room = size >= rxQueue_.capacity() ? 0 : rxQueue_.capacity() - size;
    return static_cast<int>(std::min<std::size_t>(room, kBlockSize));
}

void QueuePump::run() {
    std::array<std::uint8_t, kBlockSize> block{};
    bool inputOpen = role_ == Role::sendAndReceive;
    while (!stopRequested()) {
        if (txQueue_.empty()) {
            const bool watchInput = inputOpen && receiveRoom() > 0;
            const PumpLink::Wait woke = link_.waitForInputOrWake(watchInput, Deadline(kIdleWaitMs));
            if (woke == PumpLink::Wait::inputGone) {
                if (!watchInput) {
                    break;  // the link itself cannot wait any more
                }
                inputOpen = false;
                markLinkLost();
            }
            if (stopRequested()) {
                break;
            }
        }
        if (inputOpen) {
            const int room = receiveRoom();
            if (room > 0) {
                const int received = link_.receiveAvailable(block.data(), room);
                if (received < 0) {
                    inputOpen = false;
                    markLinkLost();
                } else if (received > 0) {
                    std::lock_guard<CriticalLock> hold(queueLock_);
                    rxQueue_.pushBytes(block.data(), static_cast<std::size_t>(received));
                }
            }
        }
        std::lock_guard<std::mutex> sending(sendLock_);
        std::size_t taken = 0;
        {
            std::lock_guard<CriticalLock> hold(queueLock_);
            taken = txQueue_.popInto(block.data(), block.size());
        }
        if (taken > 0 && !sendAll(block.data(), static_cast<int>(taken))) {
            markLinkLost();
            break;
        }
    }
    ended_.store(true);
}

int QueuePump::sendAtOnce(const std::uint8_t* bytes, int count) {
    std::unique_lock<std::mutex> sending(sendLock_, std::try_to_lock);
    if (!sending.owns_lock() || ended_.load() || !txQueue_.empty()) {
        return 0;
    }
    // Like every pass of the pump, at most one block at a time.
    const int sent = link_.sendWithin(bytes, std::min(count, kBlockSize), Deadline(0));
    if (sent < 0) {
        markLinkLost();
    }
    return sent;
}

bool QueuePump::sendAll(const std::uint8_t* bytes, int count) {
    int sent = 0;
    while (sent < count) {
        if (sent > 0 && stopRequested()) {
            return false;  // closing: the rest of a slow send is given up
        }
        const int moved = link_.sendWithin(bytes + sent, count - sent, Deadline(kSendBudgetMs));
        if (moved <= 0) {
            return false;
        }
        sent += moved;
    }
    return true;
}

ReadResult readFromQueue(ByteQueue& rxQueue, CriticalLock& queueLock, QueuePump* pump,
                         std::uint8_t* buffer, int count, int timeoutMs) {
    if (count < 0) {
        return ReadResult::LinkLost;
    }
    if (count == 0) {
        return ReadResult::Read;
    }
    const auto wanted = static_cast<std::size_t>(count);
    if (!rxQueue.waitForAtLeast(wanted, Deadline(timeoutMs))) {
        return rxQueue.ended() ? ReadResult::LinkLost : ReadResult::TimedOut;
    }
    std::size_t sizeBefore = 0;
    {
        std::lock_guard<CriticalLock> hold(queueLock);
        sizeBefore = rxQueue.size();
        rxQueue.popInto(buffer, wanted);
    }
    if (pump != nullptr) {
        pump->notifyReceiveTaken(sizeBefore);
    }
    return ReadResult::Read;
}

bool writeToQueue(ByteQueue& txQueue, CriticalLock& queueLock, QueuePump* pump,
                  const std::uint8_t* bytes, int count, int timeoutMs) {
    if (count < 0) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    const Deadline deadline(timeoutMs);
    const auto total = static_cast<std::size_t>(count);
    if (txQueue.ended()) {
        return false;  // the link is lost: nothing written now would ever leave
    }
    auto queued = std::size_t{0};
    if (pump != nullptr) {
        const int sent = pump->sendAtOnce(bytes, count);
        if (sent < 0) {
            return false;
        }
        queued = static_cast<std::size_t>(sent);
        if (queued == total) {
            return true;
        }
    }
    for (;;) {
        {
            std::lock_guard<CriticalLock> hold(queueLock);
            queued += txQueue.pushBytes(bytes + queued, total - queued);
        }
        if (pump != nullptr) {
            pump->notifyQueuedForSending();
        }
        // More than the queue holds goes in as the pump makes room.
        if (!txQueue.waitUntilEmpty(deadline)) {
            return false;
        }
        if (queued == total) {
            return true;
        }
    }
}

}  // namespace korvane
