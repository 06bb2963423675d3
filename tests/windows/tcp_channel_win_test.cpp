// TcpChannel on Windows Sockets 2 against raw loopback sockets.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "channel/channel_factory.h"
#include "channel/tcp/tcp_channel.h"
#include "channel/tcp/tcp_socket.h"
#include "tests/windows/windows_test_support.h"

namespace korvane {
namespace {

using test::Clock;
using test::msSince;
using test::patternBytes;
using test::RawClient;
using test::RawListener;
using test::RawSocket;
using test::socketLayerReleased;
using Bytes = std::vector<std::uint8_t>;

ChannelConfig clientConfig(int port, const std::string& ip = "127.0.0.1") {
    ChannelConfig config;
    config.set("mode", "client");
    config.set("remote_ip", ip);
    config.set("remote_port", std::to_string(port));
    return config;
}

ChannelConfig serverConfig(int port) {
    ChannelConfig config;
    config.set("mode", "server");
    config.set("local_ip", "127.0.0.1");
    config.set("local_port", std::to_string(port));
    return config;
}

Bytes readFrom(Channel& channel, int count, int timeoutMs) {
    Bytes bytes(static_cast<std::size_t>(count));
    if (channel.read(bytes.data(), count, timeoutMs) != ReadResult::Read) {
        return {};
    }
    return bytes;
}

TEST(TcpChannelOnWinsock, ClientCarriesBytesBothWays) {
    RawListener listener;
    ASSERT_NE(listener.port(), 0);
    bool open = false;
    TcpChannel channel(clientConfig(listener.port()), open);
    ASSERT_TRUE(open);
    RawSocket adapter(listener.acceptOne(3000));
    ASSERT_TRUE(adapter.valid());

    const Bytes out = patternBytes(10000, 1);
    EXPECT_TRUE(channel.write(out.data(), static_cast<int>(out.size()), 5000));
    EXPECT_EQ(adapter.receive(out.size(), 5000), out);

    const Bytes in = patternBytes(10000, 2);
    ASSERT_TRUE(adapter.sendAll(in));
    EXPECT_EQ(readFrom(channel, static_cast<int>(in.size()), 5000), in);
}

TEST(TcpChannelOnWinsock, ReadWakesForLateBytesAndFailsAfterItsBudgetWithout) {
    RawListener listener;
    bool open = false;
    TcpChannel channel(clientConfig(listener.port()), open);
    ASSERT_TRUE(open);
    RawSocket adapter(listener.acceptOne(3000));
    ASSERT_TRUE(adapter.valid());

    std::uint8_t byte = 0;
    auto start = Clock::now();
    EXPECT_NE(channel.read(&byte, 1, 400), ReadResult::Read);
    EXPECT_GE(msSince(start), 350);

    ASSERT_TRUE(adapter.sendAll({'>'}));
    start = Clock::now();
    EXPECT_EQ(readFrom(channel, 1, 10000), (Bytes{'>'}));
    EXPECT_LT(msSince(start), 5000);
}

TEST(TcpChannelOnWinsock, ClientToAPortNobodyListensOnFailsWithinTheConnectBudget) {
    const int port = test::unusedLoopbackPort();
    const auto start = Clock::now();
    bool open = true;
    TcpChannel channel(clientConfig(port), open);
    EXPECT_FALSE(open);
    EXPECT_FALSE(channel.isOpen());
    EXPECT_LT(msSince(start), TcpChannel::kConnectTimeoutMs + 3000);
}

TEST(TcpChannelOnWinsock, AddressesThatAreNotDottedIpv4NeverConnect) {
    for (const char* ip : {"", "localhost", "127.0.0.1.", "127.0.0", "127.0.0.256", "127.0.0.01"}) {
        bool open = true;
        TcpChannel channel(clientConfig(35000, ip), open);
        EXPECT_FALSE(open) << ip;
    }
}

// Every open that got past WSAStartup pairs it with exactly one WSACleanup: at once when the open
// fails, otherwise when the channel closes. The process holds no startup of its own here, so a
// leaked startup shows as a socket() that works.
TEST(TcpChannelOnWinsock, SocketLayerIsReleasedAfterEveryOpenAndClose) {
    ASSERT_TRUE(socketLayerReleased());
    {
        bool open = true;
        TcpChannel refused(clientConfig(test::unusedLoopbackPort()), open);
        EXPECT_FALSE(open);
        EXPECT_TRUE(socketLayerReleased());
        EXPECT_FALSE(refused.reopen());
        EXPECT_TRUE(socketLayerReleased());
    }
    {
        bool open = true;
        TcpChannel badAddress(clientConfig(35000, "not an address"), open);
        EXPECT_FALSE(open);
        EXPECT_TRUE(socketLayerReleased());
    }
    {
        RawListener listener;
        bool open = false;
        {
            TcpChannel client(clientConfig(listener.port()), open);
            ASSERT_TRUE(open);
            ASSERT_TRUE(client.reopen());
            client.close();
            EXPECT_FALSE(client.isOpen());
        }
    }
    EXPECT_TRUE(socketLayerReleased());
    {
        bool open = false;
        TcpChannel server(serverConfig(test::unusedLoopbackPort()), open);
        ASSERT_TRUE(open);
        EXPECT_FALSE(socketLayerReleased());
    }
    EXPECT_TRUE(socketLayerReleased());
    {
        // Listening on an address that is not ours fails at bind.
        ChannelConfig config = serverConfig(35000);
        config.set("local_ip", "192.0.2.1");
        bool open = true;
        TcpChannel server(config, open);
        EXPECT_FALSE(open);
        EXPECT_TRUE(socketLayerReleased());
    }
}

TEST(TcpChannelOnWinsock, ServerHandsOutTheAcceptedPeerByName) {
    const int port = test::unusedLoopbackPort();
    bool open = false;
    TcpChannel server(serverConfig(port), open);
    ASSERT_TRUE(open);

    RawClient first(port);
    RawClient second(port);
    ASSERT_TRUE(first.socket().valid());
    ASSERT_TRUE(second.socket().valid());

    ChannelConfig wanted;
    wanted.set("remote_ip", "127.0.0.1");
    wanted.set("remote_port", std::to_string(second.localPort()));
    Channel* peer = server.acceptPeer(wanted, 5000);
    ASSERT_NE(peer, nullptr);

    ASSERT_TRUE(second.socket().sendAll({'h', 'i'}));
    EXPECT_EQ(readFrom(*peer, 2, 5000), (Bytes{'h', 'i'}));
    const Bytes reply = patternBytes(5000, 4);
    EXPECT_TRUE(peer->write(reply.data(), static_cast<int>(reply.size()), 5000));
    EXPECT_EQ(second.socket().receive(reply.size(), 5000), reply);

    // The other connection is still waiting; any peer will do now.
    Channel* other = server.acceptPeer(ChannelConfig{}, 5000);
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(first.socket().sendAll({'1'}));
    EXPECT_EQ(readFrom(*other, 1, 5000), (Bytes{'1'}));

    // Closing the server ends its peers' connections.
    server.close();
    EXPECT_TRUE(first.socket().receive(1, 3000).empty());
}

TEST(TcpChannelOnWinsock, ConnectionClosedByTheAdapterFailsReadsAndWritesAtOnce) {
    RawListener listener;
    bool open = false;
    TcpChannel channel(clientConfig(listener.port()), open);
    ASSERT_TRUE(open);
    {
        RawSocket adapter(listener.acceptOne(3000));
        ASSERT_TRUE(adapter.valid());
        ASSERT_TRUE(adapter.sendAll({'x'}));
    }
    // What came before the close is still read.
    EXPECT_EQ(readFrom(channel, 1, 3000), (Bytes{'x'}));
    std::uint8_t byte = 0;
    const auto start = Clock::now();
    // Budgets of 20 s, failures well before: the close is noticed, not waited out.
    EXPECT_NE(channel.read(&byte, 1, 20000), ReadResult::Read);
    EXPECT_FALSE(channel.write(&byte, 1, 20000));
    EXPECT_NE(channel.read(&byte, 1, 20000), ReadResult::Read);
    EXPECT_LT(msSince(start), 3000);
    EXPECT_TRUE(channel.isOpen());  // open until closed, as a hung-up serial line
}

TEST(TcpChannelOnWinsock, BulkTransferFillsTheSocketBuffersAndStillArrivesInOrder) {
    RawListener listener;
    bool open = false;
    TcpChannel channel(clientConfig(listener.port()), open);
    ASSERT_TRUE(open);
    RawSocket adapter(listener.acceptOne(3000));
    ASSERT_TRUE(adapter.valid());

    // Several times what the transmit queue and the socket buffers hold, so the pump has to wait
    // for the adapter to make room.
    const Bytes out = patternBytes(6 << 20, 5);
    Bytes received;
    std::thread reader([&] {
        Sleep(300);
        received = adapter.receive(out.size(), 60000);
    });
    EXPECT_TRUE(channel.write(out.data(), static_cast<int>(out.size()), 60000));
    reader.join();
    EXPECT_TRUE(received == out) << received.size() << " of " << out.size() << " bytes";
}

TEST(TcpChannelOnWinsock, DescriptorOpensAClientThroughTheFactory) {
    RawListener listener;
    std::vector<std::string> reports;
    auto channel =
        createChannel("tcp|127.0.0.1:" + std::to_string(listener.port()), defaultChannelFactory(),
                      [&](const char* text) { reports.emplace_back(text); });
    ASSERT_NE(channel, nullptr);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(channel->setBaudRate(2000000), 1);
    EXPECT_EQ(channel->acceptPeer(ChannelConfig{}, 0), nullptr);
}

}  // namespace
}  // namespace korvane
