#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "channel/channel_factory.h"
#include "channel/serial/serial_baud.h"
#include "channel_test_support.h"

namespace korvane {
namespace {

// createChannel with the real kinds: descriptors open real ports and connections.
struct Reports {
    ChannelReport sink() {
        return [this](const char* text) { texts.emplace_back(text); };
    }
    std::vector<std::string> texts;
};

TEST(RealChannelDescriptor, ComDescriptorOpensTheSerialPortAtItsRate) {
    test::Pty pty;
    Reports reports;
    auto channel =
        createChannel("com|" + pty.slaveName + ":2000000", defaultChannelFactory(), reports.sink());
    ASSERT_NE(channel, nullptr);
    EXPECT_TRUE(reports.texts.empty());
    EXPECT_EQ(readBackBaud(pty.master), 2000000);
    const std::uint8_t command[] = {'A', 'T', 'Z', '\r'};
    ASSERT_TRUE(channel->write(command, 4, 1000));
    EXPECT_EQ(test::readExactly(pty.master, 4, 1000),
              (std::vector<std::uint8_t>{'A', 'T', 'Z', '\r'}));
}

TEST(RealChannelDescriptor, TcpDescriptorConnects) {
    test::RawListener listener;
    Reports reports;
    auto channel = createChannel("tcp|127.0.0.1:" + std::to_string(listener.port),
                                 defaultChannelFactory(), reports.sink());
    ASSERT_NE(channel, nullptr);
    const int adapter = listener.acceptOne(2000);
    ASSERT_GE(adapter, 0);
    ASSERT_TRUE(test::writeAll(adapter, ">"));
    std::uint8_t byte = 0;
    EXPECT_EQ(channel->read(&byte, 1, 1000), ReadResult::Read);
    EXPECT_EQ(byte, '>');
    ::close(adapter);
}

TEST(RealChannelDescriptor, PortsThatCannotOpenGiveTheConnectionError) {
    const std::string descriptors[] = {
        "com|/dev/korvane-no-such-port:115200",
        "tcp|127.0.0.1:" + std::to_string(test::unusedLoopbackPort()),
        "tcp|localhost:35000",
    };
    for (const auto& descriptor : descriptors) {
        Reports reports;
        EXPECT_EQ(createChannel(descriptor, defaultChannelFactory(), reports.sink()), nullptr);
        EXPECT_EQ(reports.texts, std::vector<std::string>{"**Failed** Port connection error!\r\n"})
            << descriptor;
    }
}

}  // namespace
}  // namespace korvane
