// The scripted channel is what every protocol test stands on, so its own rules are checked here.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/tick.h"
#include "tests/support/scripted_channel.h"

namespace korvane {
namespace {

using test::ScriptedChannel;

std::string readAll(ScriptedChannel& channel) {
    std::string text;
    std::uint8_t byte = 0;
    while (channel.read(&byte, 1, 100) == ReadResult::Read) {
        text.push_back(static_cast<char>(byte));
    }
    return text;
}

bool writeText(ScriptedChannel& channel, const std::string& text) {
    return channel.write(reinterpret_cast<const std::uint8_t*>(text.data()),
                         static_cast<int>(text.size()), 100);
}

TEST(ScriptedChannel, RulesFireInOrderAndUseUpTheirTimes) {
    ScriptedChannel channel;
    channel.setEcho(true);
    channel.reply("QXBL01\r", "RepPack\r>", 1);
    channel.replyToPrefix("QXBL", "OK\r>");
    channel.respond([](std::string_view written) -> std::optional<std::string> {
        if (written == "ATI\r") {
            return "ELM327 v1.5\r>";
        }
        return std::nullopt;
    });

    ASSERT_TRUE(writeText(channel, "QXBL01\r"));
    EXPECT_EQ(readAll(channel), "QXBL01\rRepPack\r>");
    ASSERT_TRUE(writeText(channel, "QXBL01\r"));
    EXPECT_EQ(readAll(channel), "QXBL01\rOK\r>");
    ASSERT_TRUE(writeText(channel, "ATI\r"));
    EXPECT_EQ(readAll(channel), "ATI\rELM327 v1.5\r>");
    ASSERT_TRUE(writeText(channel, "ATZ\r"));
    EXPECT_EQ(readAll(channel), "ATZ\r");  // only the echo: no rule answers
    EXPECT_EQ(channel.writes(),
              (std::vector<std::string>{"QXBL01\r", "QXBL01\r", "ATI\r", "ATZ\r"}));
}

TEST(ScriptedChannel, ReadTakesExactlyCountBytesOrNothing) {
    ScriptedChannel channel;
    channel.queueInput("abc");
    std::uint8_t buffer[4] = {};
    EXPECT_EQ(channel.read(buffer, 0, 100), ReadResult::Read);
    EXPECT_NE(channel.read(buffer, -1, 100), ReadResult::Read);
    EXPECT_NE(channel.read(buffer, 4, 100), ReadResult::Read);
    EXPECT_EQ(channel.available(), 3);  // nothing taken by the failed read
    EXPECT_EQ(channel.read(buffer, 3, 100), ReadResult::Read);
    EXPECT_EQ(std::string(buffer, buffer + 3), "abc");
    EXPECT_EQ(channel.readTimeouts(), (std::vector<int>{100, 100}));
}

TEST(ScriptedChannel, PurgeDropsInputButTheStreamGoesOn) {
    ScriptedChannel channel;
    channel.queueInput("old");
    channel.purge();
    EXPECT_EQ(channel.pendingInput(), 0u);
    channel.streamForever("ab");
    channel.queueInput("x");
    std::uint8_t buffer[4] = {};
    ASSERT_EQ(channel.read(buffer, 4, 100), ReadResult::Read);
    EXPECT_EQ(std::string(buffer, buffer + 4), "xaba");
    channel.purge();
    ASSERT_EQ(channel.read(buffer, 1, 100), ReadResult::Read);
    EXPECT_EQ(buffer[0], 'b');
    EXPECT_EQ(channel.purgeCount(), 2);
}

TEST(ScriptedChannel, PacedStreamFailsAReadWhoseTimeoutIsTooShort) {
    ScriptedChannel channel;
    channel.streamForever("z", 30);
    std::uint8_t byte = 0;
    const std::int64_t before = tickMs();
    EXPECT_NE(channel.read(&byte, 1, 5), ReadResult::Read);
    EXPECT_GE(tickMs() - before, 4);
    EXPECT_EQ(channel.read(&byte, 1, 5000), ReadResult::Read);
    EXPECT_EQ(byte, 'z');
}

TEST(ScriptedChannel, RealTimeReadWaitsForInputFromAnotherThread) {
    ScriptedChannel channel;
    channel.setRealTime(true);
    std::uint8_t byte = 0;
    const std::int64_t before = tickMs();
    EXPECT_NE(channel.read(&byte, 1, 30), ReadResult::Read);  // silence costs the whole timeout
    EXPECT_GE(tickMs() - before, 29);

    std::thread sender([&] { channel.queueInput(">"); });
    EXPECT_EQ(channel.read(&byte, 1, 20000), ReadResult::Read);
    sender.join();
    EXPECT_EQ(byte, '>');
}

TEST(ScriptedChannel, FailedWritesClosedChannelAndBaudRates) {
    ScriptedChannel channel;
    channel.failWrites(ScriptedChannel::kAlways);
    EXPECT_FALSE(writeText(channel, "a"));
    EXPECT_FALSE(writeText(channel, "b"));
    channel.failWrites(0);
    EXPECT_TRUE(writeText(channel, "c"));
    EXPECT_EQ(channel.failedWrites(), 2);
    EXPECT_EQ(channel.written(), "c");

    channel.setBaudRateResult(-1);
    EXPECT_EQ(channel.setBaudRate(2000000), -1);
    EXPECT_EQ(channel.baudRates(), std::vector<int>{2000000});

    channel.queueInput("x");
    channel.close();
    EXPECT_FALSE(channel.isOpen());
    std::uint8_t byte = 0;
    EXPECT_NE(channel.read(&byte, 1, 100), ReadResult::Read);
    EXPECT_FALSE(writeText(channel, "d"));
    EXPECT_TRUE(channel.reopen());
    EXPECT_EQ(channel.read(&byte, 1, 100), ReadResult::Read);
    EXPECT_EQ(channel.acceptPeer(ChannelConfig{}, 10), nullptr);
}

}  // namespace
}  // namespace korvane
