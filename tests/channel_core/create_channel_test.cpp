#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channel/channel_factory.h"
#include "tests/support/scripted_channel.h"

namespace korvane {
namespace {

using test::ScriptedChannelFactory;

constexpr const char* kParameterError = "**Failed** Port parameter error!\r\n";
constexpr const char* kConnectionError = "**Failed** Port connection error!\r\n";

struct Outcome {
    std::unique_ptr<Channel> channel;
    std::vector<std::string> reports;
};

Outcome create(std::string_view descriptor, const ChannelFactory& factory) {
    Outcome outcome;
    outcome.channel = createChannel(descriptor, factory,
                                    [&](const char* text) { outcome.reports.emplace_back(text); });
    return outcome;
}

TEST(CreateChannel, BuildsAnOpenChannelOfTheNamedKindFromTheDescriptor) {
    ScriptedChannelFactory channels;
    Outcome com = create("com|COM3:115200", channels.factory());
    ASSERT_NE(com.channel, nullptr);
    EXPECT_TRUE(com.reports.empty());
    EXPECT_TRUE(com.channel->isOpen());

    Outcome tcp = create("tcp|192.168.0.10:35000", channels.factory());
    ASSERT_NE(tcp.channel, nullptr);

    ASSERT_EQ(channels.constructions(), 2);
    EXPECT_EQ(channels.kinds(), (std::vector<std::string>{"com", "tcp"}));
    EXPECT_EQ(channels.requests(),
              (std::vector<PortRequest>{SerialPortRequest{"COM3", 115200},
                                        TcpPortRequest{"192.168.0.10", 35000}}));
    EXPECT_EQ(channels.liveChannels(), 2);
}

TEST(CreateChannel, MalformedDescriptorReportsTheParameterErrorAndBuildsNothing) {
    for (const char* descriptor : {"com|COM3", "com", "COM|COM3:9600", "udp|x:1", ""}) {
        SCOPED_TRACE(descriptor);
        ScriptedChannelFactory channels;
        Outcome outcome = create(descriptor, channels.factory());
        EXPECT_EQ(outcome.channel, nullptr);
        EXPECT_EQ(outcome.reports, std::vector<std::string>{kParameterError});
        EXPECT_EQ(channels.constructions(), 0);
    }
}

TEST(CreateChannel, ARequestIsTreatedAsItsDescriptorText) {
    struct Case {
        PortRequest request;
        std::vector<std::string> reports;
        int constructions;
    };
    const Case cases[] = {
        {SerialPortRequest{"COM3", 115200}, {}, 1},
        {TcpPortRequest{"192.168.0.10", 35000}, {}, 1},
        // A name with ":" has no descriptor text, but a request carries it whole to the channel.
        {SerialPortRequest{"/dev/serial/by-path/pci-0000:00:14.0-port0", 9600}, {}, 1},
        // "|" would end the descriptor's field: refused as that descriptor is.
        {SerialPortRequest{"COM3|x", 115200}, {kParameterError}, 0},
        {TcpPortRequest{"192.168.0.10|x", 35000}, {kParameterError}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(portDescriptorText(c.request));
        ScriptedChannelFactory channels;
        std::vector<std::string> reports;
        auto channel = createChannel(c.request, channels.factory(),
                                     [&](const char* text) { reports.emplace_back(text); });
        EXPECT_EQ(channel != nullptr, c.constructions == 1);
        EXPECT_EQ(reports, c.reports);
        ASSERT_EQ(channels.constructions(), c.constructions);
        if (c.constructions == 1) {
            EXPECT_EQ(channels.requests().at(0), c.request);
        }
    }
}

TEST(CreateChannel, ExtraFieldsAndPartsAreIgnored) {
    for (const char* descriptor : {"com|COM3:115200|extra", "com|COM3:115200:1"}) {
        SCOPED_TRACE(descriptor);
        ScriptedChannelFactory channels;
        Outcome outcome = create(descriptor, channels.factory());
        ASSERT_NE(outcome.channel, nullptr);
        EXPECT_TRUE(outcome.reports.empty());
        EXPECT_EQ(channels.requests().at(0), PortRequest(SerialPortRequest{"COM3", 115200}));
    }
}

TEST(CreateChannel, PortThatNeverOpensIsTriedThreeTimesThenReportsTheConnectionError) {
    ScriptedChannelFactory channels;
    // As a real serial port would: a port that is not there cannot be opened.
    channels.setOpenRule([](const PortRequest& request) {
        return std::get<SerialPortRequest>(request).name != "/dev/none";
    });
    Outcome outcome = create("com|/dev/none:115200", channels.factory());
    EXPECT_EQ(outcome.channel, nullptr);
    EXPECT_EQ(outcome.reports, std::vector<std::string>{kConnectionError});
    EXPECT_EQ(channels.constructions(), 3);
    EXPECT_EQ(channels.liveChannels(), 0);  // every failed object was destroyed
}

TEST(CreateChannel, ALaterAttemptThatOpensIsHandedOut) {
    ScriptedChannelFactory channels;
    channels.queueOpenResults({false, false, true});
    Outcome outcome = create("tcp|127.0.0.1:35000", channels.factory());
    ASSERT_NE(outcome.channel, nullptr);
    EXPECT_TRUE(outcome.reports.empty());
    EXPECT_EQ(channels.constructions(), 3);
    EXPECT_EQ(channels.liveChannels(), 1);
    EXPECT_EQ(outcome.channel.get(), channels.lastChannel());
}

TEST(CreateChannel, ConstructorGivingNoObjectCountsAsAFailedOpen) {
    ScriptedChannelFactory channels;
    channels.setReturnNull(true);  // and claims "open" through the flag
    Outcome outcome = create("com|COM3:115200", channels.factory());
    EXPECT_EQ(outcome.channel, nullptr);
    EXPECT_EQ(outcome.reports, std::vector<std::string>{kConnectionError});
    EXPECT_EQ(channels.constructions(), 3);
}

TEST(CreateChannel, KindWithoutConstructorReportsTheConnectionError) {
    Outcome outcome = create("tcp|127.0.0.1:1", ChannelFactory{});
    EXPECT_EQ(outcome.channel, nullptr);
    EXPECT_EQ(outcome.reports, std::vector<std::string>{kConnectionError});
}

TEST(CreateChannel, ReportingIsOptional) {
    ScriptedChannelFactory channels;
    EXPECT_EQ(createChannel("udp|x:1", channels.factory(), nullptr), nullptr);
}

}  // namespace
}  // namespace korvane
