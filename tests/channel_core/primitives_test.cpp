#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "channel/atoi_rule.h"
#include "channel/byte_queue.h"
#include "channel/channel_config.h"
#include "platform/critical_lock.h"
#include "platform/tick.h"
#include "platform/worker_thread.h"

namespace korvane {
namespace {

TEST(AtoiRule, FollowsTheCRuleAndSaturatesInsteadOfOverflowing) {
    struct Case {
        const char* text;
        int value;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 0},
        {"115200", 115200},
        {"  42x", 42},
        {"\t\n\v\f\r 7", 7},
        {"+5", 5},
        {"-17", -17},
        {"- 5", 0},
        {"0009", 9},
        {"12 34", 12},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"-99999999999999999999999", INT_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(atoiRule(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(AtoiRule, StopsAtTheEndOfTheViewNotAtATerminator) {
    const std::string text = "1234";
    EXPECT_EQ(atoiRule(std::string_view(text).substr(0, 2)), 12);
}

TEST(ChannelConfig, MissingKeyReadsAsEmptyTextAndNumbersFollowTheAtoiRule) {
    ChannelConfig config;
    config.set("baud", "abc");
    config.set("remote_port", "35000x");
    EXPECT_EQ(config.text("name"), "");
    EXPECT_FALSE(config.has("name"));
    EXPECT_EQ(config.number("name"), 0);
    EXPECT_EQ(config.number("baud"), 0);
    EXPECT_EQ(config.number("remote_port"), 35000);
    config.set("baud", "9600");
    EXPECT_EQ(config.number("baud"), 9600);
    EXPECT_EQ(config.entries().size(), 2u);
}

TEST(Deadline, CountsDownAndNeverGoesBelowZero) {
    EXPECT_TRUE(Deadline(0).expired());
    EXPECT_TRUE(Deadline(-50).expired());
    EXPECT_EQ(Deadline(-50).remainingMs(), 0);
    const Deadline later(60000);
    EXPECT_FALSE(later.expired());
    EXPECT_LE(later.remainingMs(), 60000);
    EXPECT_GT(later.remainingMs(), 50000);
}

TEST(Tick, IsMonotonicAndSleepWaitsAtLeastItsTime) {
    const std::int64_t before = tickMs();
    sleepMs(5);
    EXPECT_GE(tickMs() - before, 5);
    sleepMs(0);
    sleepMs(-3);  // nothing to wait for
}

TEST(ByteQueue, KeepsOrderAndRefusesBytesBeyondItsCapacity) {
    ByteQueue queue(4);
    const std::uint8_t bytes[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(queue.pushBytes(bytes, 3), 3u);
    EXPECT_EQ(queue.pushBytes(bytes + 3, 3), 1u);  // only one more fits
    EXPECT_FALSE(queue.push(9));
    EXPECT_EQ(queue.size(), 4u);

    EXPECT_EQ(queue.front(), 1);
    queue.pop();
    std::uint8_t out[8] = {};
    EXPECT_EQ(queue.popInto(out, 8), 3u);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[1], 3);
    EXPECT_EQ(out[2], 4);
    EXPECT_TRUE(queue.empty());

    EXPECT_TRUE(queue.push(7));  // room again
    queue.clear();
    EXPECT_TRUE(queue.empty());
    queue.pop();  // popping an empty queue is harmless
    EXPECT_EQ(queue.size(), 0u);
}

TEST(ByteQueue, WaitForAtLeastReturnsAtOnceWhenEnoughIsQueued) {
    ByteQueue queue;
    const std::uint8_t bytes[] = {1, 2, 3};
    queue.pushBytes(bytes, 3);
    const std::int64_t before = tickMs();
    EXPECT_TRUE(queue.waitForAtLeast(3, Deadline(5000)));
    EXPECT_TRUE(queue.waitForAtLeast(0, Deadline(0)));
    EXPECT_LT(tickMs() - before, 1000);
}

TEST(ByteQueue, WaitForAtLeastWakesWhenAProducerDeliversTheLastByte) {
    ByteQueue queue;
    std::promise<void> waiting;
    std::thread producer([&] {
        waiting.get_future().wait();
        for (std::uint8_t b = 0; b < 5; ++b) {
            queue.push(b);
        }
    });
    waiting.set_value();
    // A generous budget: the wait must end when the fifth byte arrives, not at the deadline.
    const std::int64_t before = tickMs();
    EXPECT_TRUE(queue.waitForAtLeast(5, Deadline(10000)));
    EXPECT_LT(tickMs() - before, 9000);
    producer.join();
    EXPECT_EQ(queue.size(), 5u);
}

TEST(ByteQueue, WaitForAtLeastGivesUpAtTheDeadline) {
    ByteQueue queue;
    queue.push(1);
    const std::int64_t before = tickMs();
    EXPECT_FALSE(queue.waitForAtLeast(2, Deadline(40)));
    EXPECT_GE(tickMs() - before, 39);
    EXPECT_EQ(queue.size(), 1u);  // nothing taken
}

TEST(ByteQueue, WaitForMoreThanTheCapacityFailsWithoutWaiting) {
    ByteQueue queue(8);
    const std::int64_t before = tickMs();
    EXPECT_FALSE(queue.waitForAtLeast(9, Deadline(10000)));
    EXPECT_LT(tickMs() - before, 5000);
}

TEST(ByteQueue, WakeReleasesAWaiterBeforeItsDeadline) {
    ByteQueue queue;
    std::atomic<bool> result{true};
    std::promise<void> started;
    std::thread waiter([&] {
        started.set_value();
        result = queue.waitForAtLeast(1, Deadline(20000));
    });
    started.get_future().wait();
    const std::int64_t before = tickMs();
    // The waiter may not be blocked yet when the first wake comes; keep waking until it returns.
    std::future<void> done = std::async(std::launch::async, [&] { waiter.join(); });
    while (done.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
        queue.wake();
    }
    EXPECT_FALSE(result);
    EXPECT_LT(tickMs() - before, 15000);
}

TEST(ByteQueue, WaitUntilEmptyFollowsAConsumer) {
    ByteQueue queue;
    const std::uint8_t bytes[] = {1, 2, 3, 4};
    queue.pushBytes(bytes, 4);
    EXPECT_FALSE(queue.waitUntilEmpty(Deadline(10)));
    std::thread consumer([&] {
        std::uint8_t out[4];
        queue.popInto(out, 4);
    });
    EXPECT_TRUE(queue.waitUntilEmpty(Deadline(10000)));
    consumer.join();
}

TEST(StopFlag, SetOnOneThreadIsSeenOnAnother) {
    StopFlag flag;
    EXPECT_FALSE(flag.isSet());
    std::thread setter([&] { flag.set(); });
    setter.join();
    EXPECT_TRUE(flag.isSet());
}

TEST(WorkerThread, RunsItsRoutineAndJoinsMoreThanOnce) {
    std::atomic<int> runs{0};
    WorkerThread worker([&] { ++runs; });
    worker.join();
    worker.join();
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(worker.joinable());
}

TEST(WorkerThread, DestructionJoinsTheRoutine) {
    std::atomic<bool> finished{false};
    {
        WorkerThread worker([&] {
            sleepMs(20);
            finished = true;
        });
    }
    EXPECT_TRUE(finished);
}

TEST(WorkerThread, MayBeDestroyedByItsOwnRoutine) {
    std::promise<WorkerThread*> handOver;
    std::shared_future<WorkerThread*> self = handOver.get_future().share();
    std::promise<void> destroyed;
    auto* worker = new WorkerThread([self, &destroyed] {
        delete self.get();  // would end the process if the thread tried to join itself
        destroyed.set_value();
    });
    handOver.set_value(worker);
    destroyed.get_future().wait();
}

}  // namespace
}  // namespace korvane
