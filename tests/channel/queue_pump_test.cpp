#include "channel/queue_pump.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "channel_test_support.h"

namespace korvane {
namespace {

// A link whose input and output the test controls and watches.
class FakeLink final : public PumpLink {
public:
    Wait waitForInputOrWake(bool watchInput, const Deadline& deadline) override {
        std::unique_lock<std::mutex> hold(mutex_);
        ++waits_;
        changed_.wait_until(hold, deadline.timePoint(),
                            [&] { return woken_ || (watchInput && (!input_.empty() || gone_)); });
        if (woken_) {
            woken_ = false;
            return Wait::woken;
        }
        if (watchInput && gone_ && input_.empty()) {
            return Wait::inputGone;
        }
        return watchInput && !input_.empty() ? Wait::inputReady : Wait::timedOut;
    }
    int receiveAvailable(std::uint8_t* buffer, int most) override {
        std::lock_guard<std::mutex> hold(mutex_);
        if (input_.empty() && gone_) {
            return -1;
        }
        int n = 0;
        for (; n < most && !input_.empty(); ++n) {
            buffer[n] = input_.front();
            input_.pop_front();
        }
        return n;
    }
    int sendWithin(const std::uint8_t* bytes, int count, const Deadline& deadline) override {
        std::unique_lock<std::mutex> hold(mutex_);
        if (!changed_.wait_until(hold, deadline.timePoint(), [&] { return !held_; })) {
            return 0;
        }
        if (refuseSends_) {
            return 0;
        }
        sendSizes_.push_back(count);
        senders_.push_back(std::this_thread::get_id());
        sent_.insert(sent_.end(), bytes, bytes + count);
        changed_.notify_all();
        return count;
    }
    void wake() override {
        std::lock_guard<std::mutex> hold(mutex_);
        woken_ = true;
        changed_.notify_all();
    }

    void feed(const std::vector<std::uint8_t>& bytes) {
        std::lock_guard<std::mutex> hold(mutex_);
        input_.insert(input_.end(), bytes.begin(), bytes.end());
        changed_.notify_all();
    }
    void hangUp() {
        std::lock_guard<std::mutex> hold(mutex_);
        gone_ = true;
        changed_.notify_all();
    }
    // While held, sends wait (up to their deadline) and move nothing.
    void holdSends(bool held) {
        std::lock_guard<std::mutex> hold(mutex_);
        held_ = held;
        changed_.notify_all();
    }
    void refuseSends() {
        std::lock_guard<std::mutex> hold(mutex_);
        refuseSends_ = true;
    }
    bool waitForSent(std::size_t count, int timeoutMs) {
        std::unique_lock<std::mutex> hold(mutex_);
        return changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                 [&] { return sent_.size() >= count; });
    }
    std::vector<std::uint8_t> sent() {
        std::lock_guard<std::mutex> hold(mutex_);
        return sent_;
    }
    std::vector<int> sendSizes() {
        std::lock_guard<std::mutex> hold(mutex_);
        return sendSizes_;
    }
    std::vector<std::thread::id> senders() {
        std::lock_guard<std::mutex> hold(mutex_);
        return senders_;
    }
    int waits() {
        std::lock_guard<std::mutex> hold(mutex_);
        return waits_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::uint8_t> input_;
    std::vector<std::uint8_t> sent_;
    std::vector<int> sendSizes_;
    std::vector<std::thread::id> senders_;
    bool woken_ = false;
    bool gone_ = false;
    bool refuseSends_ = false;
    bool held_ = false;
    int waits_ = 0;
};

struct PumpRig {
    explicit PumpRig(std::size_t rxCapacity = ByteQueue::kDefaultCapacity)
        : rx(rxCapacity), pump(link, rx, tx, queueLock) {}
    FakeLink link;
    ByteQueue rx;
    ByteQueue tx;
    CriticalLock queueLock;
    QueuePump pump;
};

TEST(QueuePump, SendsLargeWritesInBlocksOfAtMost2048) {
    PumpRig rig;
    const auto bytes = test::patternBytes(5000);
    EXPECT_TRUE(writeToQueue(rig.tx, rig.queueLock, &rig.pump, bytes.data(), 5000, 5000));
    ASSERT_TRUE(rig.link.waitForSent(5000, 5000));
    EXPECT_EQ(rig.link.sent(), bytes);
    const auto sizes = rig.link.sendSizes();
    EXPECT_GE(sizes.size(), 3u);
    for (int size : sizes) {
        EXPECT_LE(size, QueuePump::kBlockSize);
    }
}

TEST(QueuePump, LaterWritesNeverOvertakeBytesStillQueued) {
    PumpRig rig;
    rig.link.holdSends(true);
    const std::uint8_t first[] = {'A', 'B'};
    const std::uint8_t second[] = {'C'};
    // Not sent at once, so queued; the pump takes "AB" (the write succeeds) and then sits in
    // its send. "C" must wait in the queue behind it.
    EXPECT_TRUE(writeToQueue(rig.tx, rig.queueLock, &rig.pump, first, 2, 5000));
    EXPECT_FALSE(writeToQueue(rig.tx, rig.queueLock, &rig.pump, second, 1, 50));
    rig.link.holdSends(false);
    ASSERT_TRUE(rig.link.waitForSent(3, 5000));
    EXPECT_EQ(rig.link.sent(), (std::vector<std::uint8_t>{'A', 'B', 'C'}));
}

TEST(QueuePump, AWriteWithNothingQueuedIsSentOnTheCallersThread) {
    PumpRig rig;  // fresh: the pump sits in its first wait and holds nothing
    const auto bytes = test::patternBytes(3000);
    EXPECT_TRUE(writeToQueue(rig.tx, rig.queueLock, &rig.pump, bytes.data(), 3000, 5000));
    ASSERT_TRUE(rig.link.waitForSent(3000, 5000));
    EXPECT_EQ(rig.link.sent(), bytes);
    const auto senders = rig.link.senders();
    ASSERT_EQ(senders.size(), 2u);  // one block at once, the rest through the pump
    EXPECT_EQ(senders[0], std::this_thread::get_id());
    EXPECT_NE(senders[1], std::this_thread::get_id());
}

TEST(QueuePump, MovesInputIntoTheReceiveQueue) {
    PumpRig rig;
    const auto bytes = test::patternBytes(3000);
    rig.link.feed(bytes);
    std::vector<std::uint8_t> got(3000);
    ASSERT_EQ(readFromQueue(rig.rx, rig.queueLock, &rig.pump, got.data(), 3000, 5000),
              ReadResult::Read);
    EXPECT_EQ(got, bytes);
    EXPECT_TRUE(rig.rx.empty());
}

TEST(QueuePump, AFullReceiveQueueHoldsInputBackUntilReadFrom) {
    PumpRig rig(100);
    rig.link.feed(test::patternBytes(250));
    std::vector<std::uint8_t> got(250);
    // Each read takes what is there; the pump refills as room appears, nothing is lost.
    ASSERT_EQ(readFromQueue(rig.rx, rig.queueLock, &rig.pump, got.data(), 100, 5000),
              ReadResult::Read);
    ASSERT_EQ(readFromQueue(rig.rx, rig.queueLock, &rig.pump, got.data() + 100, 100, 5000),
              ReadResult::Read);
    ASSERT_EQ(readFromQueue(rig.rx, rig.queueLock, &rig.pump, got.data() + 200, 50, 5000),
              ReadResult::Read);
    EXPECT_EQ(got, test::patternBytes(250));
}

TEST(QueuePump, EndedInputLosesTheLinkWithoutKeepingThePumpBusy) {
    PumpRig rig;
    rig.link.feed({'a', 'b'});
    rig.link.hangUp();
    std::uint8_t got[2] = {};
    // What came before the end is still served; after it, reads and writes fail.
    ASSERT_EQ(readFromQueue(rig.rx, rig.queueLock, &rig.pump, got, 2, 5000), ReadResult::Read);
    EXPECT_EQ(got[1], 'b');
    EXPECT_NE(readFromQueue(rig.rx, rig.queueLock, &rig.pump, got, 1, 300), ReadResult::Read);
    EXPECT_TRUE(rig.pump.linkLost());
    EXPECT_FALSE(writeToQueue(rig.tx, rig.queueLock, &rig.pump, got, 1, 5000));
    EXPECT_TRUE(rig.link.sent().empty());
    EXPECT_TRUE(rig.tx.empty());
    // A busy pump would have waited thousands of times; an idle one a handful.
    sleepMs(300);
    EXPECT_LT(rig.link.waits(), 10);
}

TEST(QueuePump, AFailedSendLosesTheLinkAndLaterWritesFail) {
    PumpRig rig;
    rig.link.refuseSends();
    const std::uint8_t byte = 7;
    // Not taken at once, so queued; the pump's send then fails and the link is lost. The write
    // itself may see the end before or after the pump took the byte.
    writeToQueue(rig.tx, rig.queueLock, &rig.pump, &byte, 1, 5000);
    for (int i = 0; i < 100 && !rig.pump.ended(); ++i) {
        sleepMs(10);
    }
    EXPECT_TRUE(rig.pump.ended());
    EXPECT_TRUE(rig.pump.linkLost());
    EXPECT_FALSE(writeToQueue(rig.tx, rig.queueLock, &rig.pump, &byte, 1, 5000));
    EXPECT_TRUE(rig.tx.empty());  // refused, not queued for a link that is gone
    std::uint8_t got = 0;
    EXPECT_NE(readFromQueue(rig.rx, rig.queueLock, &rig.pump, &got, 1, 5000), ReadResult::Read);
}

TEST(QueuePump, ASendOnlyPumpLeavesTheInputAlone) {
    FakeLink link;
    ByteQueue rx;
    ByteQueue tx;
    CriticalLock queueLock;
    QueuePump pump(link, rx, tx, queueLock, QueuePump::Role::sendOnly);
    link.feed({'x'});
    link.hangUp();
    const std::uint8_t byte = 1;
    // Taken at once on this thread, or by the pump; either way it is sent.
    EXPECT_TRUE(writeToQueue(tx, queueLock, &pump, &byte, 1, 5000));
    ASSERT_TRUE(link.waitForSent(1, 5000));
    std::uint8_t got = 0;
    ASSERT_EQ(link.receiveAvailable(&got, 1), 1);  // still there for the owner
    EXPECT_EQ(got, 'x');
    EXPECT_FALSE(pump.linkLost());
    pump.markLinkLost();  // the owner found the input ended
    EXPECT_FALSE(writeToQueue(tx, queueLock, &pump, &byte, 1, 5000));
}

TEST(QueuePumpQueues, ZeroAndNegativeCounts) {
    ByteQueue queue;
    CriticalLock lock;
    std::uint8_t byte = 0;
    EXPECT_EQ(readFromQueue(queue, lock, nullptr, &byte, 0, 0), ReadResult::Read);
    EXPECT_TRUE(writeToQueue(queue, lock, nullptr, &byte, 0, 0));
    EXPECT_NE(readFromQueue(queue, lock, nullptr, &byte, -1, 100), ReadResult::Read);
    EXPECT_FALSE(writeToQueue(queue, lock, nullptr, &byte, -1, 100));
    EXPECT_TRUE(queue.empty());
}

TEST(QueuePumpQueues, ReadLeavesTheQueueUntouchedWhenTooFewBytesCame) {
    ByteQueue queue;
    CriticalLock lock;
    const std::uint8_t two[] = {1, 2};
    queue.pushBytes(two, 2);
    std::uint8_t got[3] = {};
    EXPECT_NE(readFromQueue(queue, lock, nullptr, got, 3, 20), ReadResult::Read);
    EXPECT_EQ(queue.size(), 2u);
    EXPECT_EQ(readFromQueue(queue, lock, nullptr, got, 2, 0),
              ReadResult::Read);  // already there: no wait needed
    EXPECT_EQ(got[1], 2);
}

}  // namespace
}  // namespace korvane
