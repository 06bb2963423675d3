// SerialChannel on real Windows COM devices: two ports joined like a null-modem cable
// (KORVANE_TEST_COM_PAIR), the channel on one end, the test playing the adapter on the other.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "channel/channel_factory.h"
#include "channel/serial/serial_channel.h"
#include "channel/traffic_log/traffic_log.h"
#include "tests/windows/windows_test_support.h"

namespace korvane {
namespace {

using test::Clock;
using test::msSince;
using test::patternBytes;
using test::RawComPeer;
using Bytes = std::vector<std::uint8_t>;

class SerialChannelOnComPair : public ::testing::Test {
protected:
    void SetUp() override {
        const auto pair = test::comPairFromEnvironment();
        if (!pair) {
            GTEST_SKIP() << "KORVANE_TEST_COM_PAIR names no pair of joined COM ports";
        }
        ports_ = *pair;
        peer_ = std::make_unique<RawComPeer>(ports_.peerPort);
        ASSERT_TRUE(peer_->valid()) << ports_.peerPort;
    }

    std::unique_ptr<SerialChannel> openChannel(const std::string& mode = "direct",
                                               int baud = 115200) {
        ChannelConfig config;
        config.set("mode", mode);
        config.set("name", ports_.channelPort);
        config.set("baud", std::to_string(baud));
        bool open = false;
        auto channel = std::make_unique<SerialChannel>(config, open);
        EXPECT_TRUE(open);
        EXPECT_TRUE(channel->isOpen());
        return channel;
    }

    Bytes readFromChannel(Channel& channel, int count, int timeoutMs) {
        Bytes bytes(static_cast<std::size_t>(count));
        if (channel.read(bytes.data(), count, timeoutMs) != ReadResult::Read) {
            return {};
        }
        return bytes;
    }

    test::ComPair ports_;
    std::unique_ptr<RawComPeer> peer_;
};

TEST_F(SerialChannelOnComPair, DirectModeMovesBytesBothWays) {
    auto channel = openChannel();
    const Bytes out = patternBytes(3000, 7);
    EXPECT_TRUE(channel->write(out.data(), static_cast<int>(out.size()), 5000));
    EXPECT_EQ(peer_->read(out.size(), 5000), out);

    const Bytes in = patternBytes(3000, 8);
    ASSERT_TRUE(peer_->write(in));
    EXPECT_EQ(readFromChannel(*channel, static_cast<int>(in.size()), 5000), in);
}

TEST_F(SerialChannelOnComPair, ReadSleepsUntilLateBytesComeAndReturnsThen) {
    auto channel = openChannel();
    std::thread adapter([&] {
        Sleep(400);
        peer_->write("OK>");
    });
    const auto start = Clock::now();
    const Bytes got = readFromChannel(*channel, 3, 10000);
    const long long elapsed = msSince(start);
    adapter.join();
    EXPECT_EQ(got, (Bytes{'O', 'K', '>'}));
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 5000);  // woke for the bytes, not at the end of the budget
}

TEST_F(SerialChannelOnComPair, ReadThatGetsTooFewBytesFailsWhenItsBudgetRunsOut) {
    auto channel = openChannel();
    ASSERT_TRUE(peer_->write("AB"));
    Bytes buffer(5, 0);
    const auto start = Clock::now();
    EXPECT_NE(channel->read(buffer.data(), 5, 500), ReadResult::Read);
    const long long elapsed = msSince(start);
    EXPECT_GE(elapsed, 450);
    EXPECT_LT(elapsed, 5000);
    EXPECT_TRUE(channel->isOpen());
}

TEST_F(SerialChannelOnComPair, BytesAlreadyThereAreReadEvenWithAnEmptyBudget) {
    auto channel = openChannel();
    ASSERT_TRUE(peer_->write("ELM"));
    // Let them reach the driver first.
    Bytes first = readFromChannel(*channel, 1, 3000);
    ASSERT_EQ(first, (Bytes{'E'}));
    Sleep(200);
    EXPECT_EQ(readFromChannel(*channel, 2, 0), (Bytes{'L', 'M'}));
}

TEST_F(SerialChannelOnComPair, WaitingReadCostsLittleProcessorTime) {
    auto channel = openChannel();
    const auto cpuBefore = test::processCpuTime();
    const auto start = Clock::now();
    std::uint8_t byte = 0;
    EXPECT_NE(channel->read(&byte, 1, 1500), ReadResult::Read);
    const long long wallMs = msSince(start);
    const long long cpuMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(test::processCpuTime() - cpuBefore)
            .count();
    RecordProperty("idle_read_wall_ms", std::to_string(wallMs));
    RecordProperty("idle_read_cpu_ms", std::to_string(cpuMs));
    // A read that polled the driver without pause would burn the whole budget.
    EXPECT_LT(cpuMs, wallMs / 2) << "cpu " << cpuMs << " ms of " << wallMs << " ms";
}

TEST_F(SerialChannelOnComPair, PurgeDropsInputThatWasWaiting) {
    auto channel = openChannel();
    ASSERT_TRUE(peer_->write("stale"));
    ASSERT_EQ(readFromChannel(*channel, 1, 3000), (Bytes{'s'}));
    Sleep(200);  // the rest reaches the driver
    channel->purge();
    std::uint8_t byte = 0;
    EXPECT_NE(channel->read(&byte, 1, 300), ReadResult::Read);
    ASSERT_TRUE(peer_->write("new"));
    EXPECT_EQ(readFromChannel(*channel, 3, 3000), (Bytes{'n', 'e', 'w'}));
}

TEST_F(SerialChannelOnComPair, SwitchTo2MbpsChangesTheLineAndSurvivesReopen) {
    auto channel = openChannel();
    ASSERT_TRUE(peer_->write("a"));
    ASSERT_EQ(readFromChannel(*channel, 1, 3000), (Bytes{'a'}));

    ASSERT_EQ(channel->setBaudRate(2000000), 1);
    EXPECT_EQ(channel->baud(), 2000000);
    // The peer still runs at 115200: nothing it sends can be read at 2 Mbps.
    ASSERT_TRUE(peer_->write("b"));
    std::uint8_t byte = 0;
    EXPECT_NE(channel->read(&byte, 1, 500), ReadResult::Read);

    ASSERT_TRUE(peer_->setBaud(2000000));
    ASSERT_TRUE(peer_->write("c"));
    EXPECT_EQ(readFromChannel(*channel, 1, 3000), (Bytes{'c'}));
    const Bytes out = patternBytes(100, 3);
    EXPECT_TRUE(channel->write(out.data(), 100, 3000));
    EXPECT_EQ(peer_->read(100, 3000), out);

    // Reopening uses the stored rate.
    ASSERT_TRUE(channel->reopen());
    ASSERT_TRUE(peer_->write("d"));
    EXPECT_EQ(readFromChannel(*channel, 1, 3000), (Bytes{'d'}));

    // And back to 115200, as the block download ends.
    ASSERT_EQ(channel->setBaudRate(115200), 1);
    ASSERT_TRUE(peer_->setBaud(115200));
    ASSERT_TRUE(peer_->write("e"));
    EXPECT_EQ(readFromChannel(*channel, 1, 3000), (Bytes{'e'}));
}

TEST_F(SerialChannelOnComPair, RateTheDriverDoesNotRunExactlyClosesThePort) {
    auto channel = openChannel();
    // wine's serial driver takes 123457 and quietly runs 38400 instead; the read-back catches it.
    // A driver that does run the rate exactly keeps the port open at that rate.
    const int result = channel->setBaudRate(123457);
    EXPECT_EQ(channel->baud(), 123457);
    if (result == -1) {
        EXPECT_FALSE(channel->isOpen());
        std::uint8_t byte = 0;
        EXPECT_NE(channel->read(&byte, 1, 100), ReadResult::Read);
        EXPECT_FALSE(channel->write(&byte, 1, 100));
        // A reopen tries the stored rate again and fails the same way.
        EXPECT_FALSE(channel->reopen());
    } else {
        ASSERT_EQ(result, 1);
        ASSERT_TRUE(peer_->setBaud(123457));
        ASSERT_TRUE(peer_->write("x"));
        EXPECT_EQ(readFromChannel(*channel, 1, 3000), (Bytes{'x'}));
    }
}

TEST_F(SerialChannelOnComPair, OpenFailsWhenTheRateCannotBeSetExactly) {
    ChannelConfig config;
    config.set("mode", "direct");
    config.set("name", ports_.channelPort);
    config.set("baud", "123457");
    bool open = true;
    SerialChannel channel(config, open);
    if (open) {
        ASSERT_TRUE(peer_->setBaud(123457));
        ASSERT_TRUE(peer_->write("x"));
        EXPECT_EQ(readFromChannel(channel, 1, 3000), (Bytes{'x'}));
    } else {
        EXPECT_FALSE(channel.isOpen());
    }
}

TEST_F(SerialChannelOnComPair, BufferedModeCarriesMoreThanOnePumpBlockEachWay) {
    auto channel = openChannel("");
    const Bytes out = patternBytes(5000, 11);
    EXPECT_TRUE(channel->write(out.data(), static_cast<int>(out.size()), 5000));
    EXPECT_EQ(peer_->read(out.size(), 5000), out);

    const Bytes in = patternBytes(5000, 12);
    ASSERT_TRUE(peer_->write(in));
    EXPECT_EQ(readFromChannel(*channel, static_cast<int>(in.size()), 5000), in);
    EXPECT_EQ(channel->available(), 0);
    EXPECT_EQ(channel->setBaudRate(2000000), -1);
    EXPECT_TRUE(channel->isOpen());
}

TEST_F(SerialChannelOnComPair, BufferedChannelClosesPromptlyWhileItsPumpSleeps) {
    auto channel = openChannel("");
    Sleep(100);
    const auto start = Clock::now();
    channel->close();
    EXPECT_FALSE(channel->isOpen());
    EXPECT_LT(msSince(start), 3000);
}

TEST_F(SerialChannelOnComPair, DescriptorOpensTheNamedPortThroughTheFactory) {
    std::vector<std::string> reports;
    auto channel = createChannel("com|" + ports_.channelPort + ":115200", defaultChannelFactory(),
                                 [&](const char* text) { reports.emplace_back(text); });
    ASSERT_NE(channel, nullptr);
    EXPECT_TRUE(reports.empty());
    ASSERT_TRUE(peer_->write(">"));
    EXPECT_EQ(readFromChannel(*channel, 1, 3000), (Bytes{'>'}));
}

TEST_F(SerialChannelOnComPair, TrafficLogRecordsOpeningDataAndClosing) {
    test::ScopedTempCwd cwd;
    const int savedLevel = LogLevel.load();
    LogLevel.store(3);
    // One log file a day and port.
    const std::string path = prepareTrafficLogPath(ports_.channelPort);
    {
        auto channel = openChannel();
        const Bytes out = {0x41, 0x54, 0x0D};
        ASSERT_TRUE(channel->write(out.data(), 3, 3000));
        ASSERT_TRUE(peer_->write("OK"));
        ASSERT_EQ(readFromChannel(*channel, 2, 3000), (Bytes{'O', 'K'}));
    }
    LogLevel.store(savedLevel);
    const std::string text = test::fileBytes(path);
    const std::string name = ports_.channelPort + ":115200";
    const std::string opened =
        "]ComPort:[len:" + std::to_string(name.size()) + "]" + name + " Is Opened!\r\n";
    const std::string closed =
        "]ComPort:[len:" + std::to_string(name.size()) + "]" + name + " Is Closed!\r\n";
    const std::size_t a = text.find(opened);
    const std::size_t b = text.find("]  Data[out]:[len:3]41540D\r\n");
    const std::size_t c = text.find("]  Data[in]:[len:2]4F4B\r\n");
    const std::size_t d = text.find(closed);
    ASSERT_NE(a, std::string::npos) << text;
    ASSERT_NE(b, std::string::npos) << text;
    ASSERT_NE(c, std::string::npos) << text;
    ASSERT_NE(d, std::string::npos) << text;
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_LT(c, d);
}

}  // namespace
}  // namespace korvane
