#include "channel/tcp/tcp_channel.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <memory>

#include "channel/channel_factory.h"
#include "channel/tcp/tcp_socket.h"
#include "channel_test_support.h"
#include "platform/tick.h"

namespace korvane {
namespace {

using test::msSince;

ChannelConfig clientConfig(const std::string& ip, int port) {
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

ChannelConfig peerWanted(const std::string& ip, int port) {
    ChannelConfig config;
    config.set("remote_ip", ip);
    config.set("remote_port", std::to_string(port));
    return config;
}

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// A connected client channel and the raw socket of the adapter it talks to.
struct ClientRig {
    explicit ClientRig(int receiveBuffer = 0) : listener(receiveBuffer) {
        bool isOpen = false;
        channel = std::make_unique<TcpChannel>(clientConfig("127.0.0.1", listener.port), isOpen);
        EXPECT_TRUE(isOpen);
        adapter = listener.acceptOne(5000);
        EXPECT_GE(adapter, 0);
    }
    ~ClientRig() {
        channel.reset();
        if (adapter >= 0) {
            ::close(adapter);
        }
    }
    test::RawListener listener;
    std::unique_ptr<TcpChannel> channel;
    int adapter = -1;
};

TEST(TcpChannel, ClientTalksToAListeningAdapter) {
    ClientRig rig;
    const auto command = bytesOf("ATI\r");
    ASSERT_TRUE(rig.channel->write(command.data(), 4, 1000));
    EXPECT_EQ(test::readExactly(rig.adapter, 4, 2000), command);
    ASSERT_TRUE(test::writeAll(rig.adapter, "ELM327 v1.5\r>"));
    std::uint8_t reply[13] = {};
    for (int i = 0; i < 13; ++i) {  // one byte per read, as the command exchange reads
        ASSERT_EQ(rig.channel->read(reply + i, 1, 1000), ReadResult::Read) << i;
    }
    EXPECT_EQ(std::string(reply, reply + 13), "ELM327 v1.5\r>");
    EXPECT_EQ(rig.channel->setBaudRate(2000000), 1);
    EXPECT_EQ(rig.channel->acceptPeer(ChannelConfig(), 1000), nullptr);
}

TEST(TcpChannel, ReadAndPurgeServeTheReceiveQueue) {
    ClientRig rig;
    ASSERT_TRUE(test::writeAll(rig.adapter, "abcd"));
    std::uint8_t got[5] = {};
    EXPECT_NE(rig.channel->read(got, 5, 200), ReadResult::Read);  // four came: too few
    EXPECT_EQ(rig.channel->available(), 4);                       // and they stay queued
    EXPECT_EQ(rig.channel->read(got, 2, 0), ReadResult::Read);
    EXPECT_EQ(got[1], 'b');
    rig.channel->purge();
    EXPECT_EQ(rig.channel->available(), 0);
    EXPECT_NE(rig.channel->read(got, 1, 50), ReadResult::Read);
    // Purge also drops what has arrived but was never looked at.
    ASSERT_TRUE(test::writeAll(rig.adapter, "stale"));
    sleepMs(100);
    rig.channel->purge();
    ASSERT_TRUE(test::writeAll(rig.adapter, "!"));
    ASSERT_EQ(rig.channel->read(got, 1, 2000), ReadResult::Read);
    EXPECT_EQ(got[0], '!');
    EXPECT_EQ(rig.channel->available(), 0);
}

TEST(TcpChannel, AWriteWhoseBudgetRunsOutIsStillSentLater) {
    // The adapter takes nothing for now, so the connection's buffers fill up and a write finally
    // cannot be taken within its budget.
    ClientRig rig(4096);
    std::vector<std::uint8_t> written;
    bool ranOut = false;
    for (unsigned chunk = 0; chunk < 400 && !ranOut; ++chunk) {
        const auto bytes = test::patternBytes(64 * 1024, chunk + 1);
        written.insert(written.end(), bytes.begin(), bytes.end());
        ranOut = !rig.channel->write(bytes.data(), static_cast<int>(bytes.size()), 200);
    }
    ASSERT_TRUE(ranOut);
    // Once the adapter reads, everything arrives, the last write's bytes included.
    EXPECT_EQ(test::readExactly(rig.adapter, written.size(), 20000), written);
}

TEST(TcpChannel, ClientWithoutListeningAdapterFailsWithinTheBound) {
    const int port = test::unusedLoopbackPort();
    const auto start = test::Clock::now();
    bool isOpen = true;
    TcpChannel channel(clientConfig("127.0.0.1", port), isOpen);
    EXPECT_FALSE(isOpen);
    EXPECT_FALSE(channel.isOpen());
    EXPECT_LT(msSince(start), TcpChannel::kConnectTimeoutMs + 2000);
    std::uint8_t byte = 0;
    EXPECT_EQ(channel.read(&byte, 0, 0), ReadResult::Read);  // even a channel that never opened
    EXPECT_NE(channel.read(&byte, -1, 0), ReadResult::Read);
    EXPECT_NE(channel.read(&byte, 1, 20), ReadResult::Read);
    EXPECT_FALSE(channel.reopen());
}

TEST(TcpChannel, AddressesMustBeDottedIpv4) {
    test::RawListener listener;
    for (const char* ip : {"localhost", "127.1", "127.0.0.1 ", "", "0x7f.0.0.1", "127.0.0.256"}) {
        bool isOpen = true;
        TcpChannel channel(clientConfig(ip, listener.port), isOpen);
        EXPECT_FALSE(isOpen) << ip;
    }
    for (int port : {0, -1, 65536 + listener.port}) {
        bool isOpen = true;
        TcpChannel channel(clientConfig("127.0.0.1", port), isOpen);
        EXPECT_FALSE(isOpen) << port;
    }
}

TEST(TcpSocket, ConnectGivesUpWhenTheAdapterDoesNotAnswer) {
    // A listener whose accept queue is full drops further connection requests unanswered.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(fd, 0), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size), 0);
    const int port = ntohs(address.sin_port);
    std::vector<std::unique_ptr<TcpSocket>> fillers;
    for (int i = 0; i < 4; ++i) {
        auto socket = connectTcp("127.0.0.1", port, 300);
        if (!socket) {
            break;
        }
        fillers.push_back(std::move(socket));
    }
    ASSERT_LT(fillers.size(), 4u) << "the accept queue never filled";
    const auto start = test::Clock::now();
    EXPECT_EQ(connectTcp("127.0.0.1", port, 300), nullptr);
    EXPECT_GE(msSince(start), 250);
    EXPECT_LT(msSince(start), 3000);
    ::close(fd);
}

// How the adapter ends the connection: an orderly close, or a reset (linger time 0).
class TcpChannelDrop : public ::testing::TestWithParam<bool> {};

TEST_P(TcpChannelDrop, FailsEveryLaterReadAndWriteAtOnce) {
    ClientRig rig;
    const bool reset = GetParam();
    ASSERT_TRUE(test::writeAll(rig.adapter, "OK\r>"));
    std::uint8_t reply[4] = {};
    ASSERT_EQ(rig.channel->read(reply, 4, 5000),
              ReadResult::Read);  // wait until the answer is here
    if (reset) {
        const linger now{1, 0};
        ::setsockopt(rig.adapter, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    } else {
        ASSERT_TRUE(test::writeAll(rig.adapter, "late"));  // sent before the close
    }
    ::close(rig.adapter);
    rig.adapter = -1;
    if (!reset) {
        std::uint8_t late[4] = {};
        ASSERT_EQ(rig.channel->read(late, 4, 5000),
                  ReadResult::Read);  // what came before the close is kept
        EXPECT_EQ(std::string(late, late + 4), "late");
    }
    // Budgets of 20 s, failures well before: the drop is noticed, not waited out.
    std::uint8_t byte = 0;
    const auto start = test::Clock::now();
    EXPECT_NE(rig.channel->read(&byte, 1, 20000), ReadResult::Read);
    rig.channel->purge();
    const auto command = bytesOf("QXBL00\r");
    EXPECT_FALSE(rig.channel->write(command.data(), 7, 20000));
    EXPECT_FALSE(rig.channel->write(command.data(), 7, 20000));
    EXPECT_NE(rig.channel->read(&byte, 1, 20000), ReadResult::Read);
    EXPECT_LT(msSince(start), 3000);
    EXPECT_EQ(rig.channel->available(), 0);
    EXPECT_TRUE(rig.channel->isOpen());  // open until closed, as a hung-up serial line
    rig.channel->close();
    EXPECT_FALSE(rig.channel->isOpen());
}

TEST_P(TcpChannelDrop, IsNoticedByTheFirstWriteToo) {
    ClientRig rig;
    if (GetParam()) {
        const linger now{1, 0};
        ::setsockopt(rig.adapter, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    }
    ::close(rig.adapter);
    rig.adapter = -1;
    // The purge before a command meets the end; or, if it came too late for that, the write's
    // own send or the read after it does.
    const auto start = test::Clock::now();
    const auto command = bytesOf("ATI\r");
    bool failed = false;
    for (int attempt = 0; attempt < 3 && !failed; ++attempt) {
        rig.channel->purge();
        std::uint8_t byte = 0;
        failed = !rig.channel->write(command.data(), 4, 20000) ||
                 rig.channel->read(&byte, 1, 20000) != ReadResult::Read;
    }
    EXPECT_TRUE(failed);
    EXPECT_LT(msSince(start), 3000);
}

INSTANTIATE_TEST_SUITE_P(CloseOrReset, TcpChannelDrop, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Reset" : "Close"; });

TEST(TcpChannel, ReopenConnectsAgain) {
    ClientRig rig;
    ASSERT_TRUE(rig.channel->reopen());
    EXPECT_TRUE(test::seesEndOfInput(rig.adapter, 2000));  // the first connection ended
    const int second = rig.listener.acceptOne(2000);
    ASSERT_GE(second, 0);
    ASSERT_TRUE(test::writeAll(second, "x"));
    std::uint8_t byte = 0;
    EXPECT_EQ(rig.channel->read(&byte, 1, 1000), ReadResult::Read);
    ::close(second);
}

// A server channel with raw clients connected to it.
struct ServerRig {
    ServerRig() {
        port = test::unusedLoopbackPort();
        bool isOpen = false;
        server = std::make_unique<TcpChannel>(serverConfig(port), isOpen);
        EXPECT_TRUE(isOpen);
    }
    ~ServerRig() {
        server.reset();
        for (int fd : clients) {
            ::close(fd);
        }
    }
    // Connects a raw client; returns its index. Its own port goes to `localPort`.
    int connect(int& localPort) {
        const int fd = test::rawConnect(port, localPort);
        EXPECT_GE(fd, 0);
        clients.push_back(fd);
        return fd;
    }
    int port = 0;
    std::unique_ptr<TcpChannel> server;
    std::vector<int> clients;
};

TEST(TcpServer, AcceptPeerByNameCarriesThatPeersData) {
    ServerRig rig;
    int portA = 0, portB = 0;
    const int a = rig.connect(portA);
    const int b = rig.connect(portB);
    Channel* peerB = rig.server->acceptPeer(peerWanted("127.0.0.1", portB), 2000);
    ASSERT_NE(peerB, nullptr);
    EXPECT_TRUE(peerB->isOpen());
    EXPECT_TRUE(peerB->reopen());  // a peer only reports its state
    EXPECT_EQ(peerB->acceptPeer(ChannelConfig(), 0), nullptr);
    ASSERT_TRUE(test::writeAll(b, "from b"));
    std::uint8_t got[6] = {};
    ASSERT_EQ(peerB->read(got, 6, 2000), ReadResult::Read);
    EXPECT_EQ(std::string(got, got + 6), "from b");
    ASSERT_TRUE(peerB->write(bytesOf("to b").data(), 4, 2000));
    EXPECT_EQ(test::readExactly(b, 4, 2000), bytesOf("to b"));
    // Already handed out: asking for it again finds nothing.
    EXPECT_EQ(rig.server->acceptPeer(peerWanted("127.0.0.1", portB), 50), nullptr);
    (void)a;
}

// Waits until the server holds `count` pending peers.
bool waitForPending(TcpChannel& server, std::size_t count) {
    for (int i = 0; i < 400; ++i) {
        if (server.pendingPeerNames().size() >= count) {
            return true;
        }
        sleepMs(5);
    }
    return false;
}

TEST(TcpServer, AnyPeerIsTheFirstInNameOrder) {
    ServerRig rig;
    std::map<std::string, int> clientByName;  // ordered by name, byte-wise
    for (int i = 0; i < 3; ++i) {
        int localPort = 0;
        const int fd = rig.connect(localPort);
        clientByName["127.0.0.1:" + std::to_string(localPort)] = fd;
    }
    ASSERT_TRUE(waitForPending(*rig.server, 3));
    std::vector<std::string> names;
    for (const auto& entry : clientByName) {
        names.push_back(entry.first);
    }
    EXPECT_EQ(rig.server->pendingPeerNames(), names);
    for (const auto& [name, fd] : clientByName) {
        Channel* peer = rig.server->acceptPeer(ChannelConfig(), 1000);
        ASSERT_NE(peer, nullptr) << name;
        ASSERT_TRUE(peer->write(bytesOf(name).data(), static_cast<int>(name.size()), 1000));
        EXPECT_EQ(test::readExactly(fd, name.size(), 2000), bytesOf(name)) << name;
    }
    EXPECT_TRUE(rig.server->pendingPeerNames().empty());
}

TEST(TcpServer, AcceptPeerWaitsOutItsBudgetAndOnlyServersAccept) {
    ServerRig rig;
    const auto start = test::Clock::now();
    EXPECT_EQ(rig.server->acceptPeer(ChannelConfig(), 150), nullptr);
    EXPECT_GE(msSince(start), 140);
    int localPort = 0;
    rig.connect(localPort);
    // A peer that arrives while acceptPeer waits is handed out at once.
    EXPECT_NE(rig.server->acceptPeer(peerWanted("127.0.0.1", localPort), 5000), nullptr);
    EXPECT_EQ(rig.server->setBaudRate(9600), 1);
}

TEST(TcpServer, ClosingAPeerEndsItsConnection) {
    ServerRig rig;
    int localPort = 0;
    const int fd = rig.connect(localPort);
    Channel* peer = rig.server->acceptPeer(peerWanted("127.0.0.1", localPort), 2000);
    ASSERT_NE(peer, nullptr);
    peer->close();  // the peer is gone now
    EXPECT_TRUE(test::seesEndOfInput(fd, 2000));
    EXPECT_EQ(rig.server->acceptPeer(ChannelConfig(), 50), nullptr);
}

TEST(TcpServer, ClosingTheServerEndsPendingAndActivePeers) {
    ServerRig rig;
    int activePort = 0, pendingPort = 0;
    const int active = rig.connect(activePort);
    const int pending = rig.connect(pendingPort);
    Channel* peer = rig.server->acceptPeer(peerWanted("127.0.0.1", activePort), 2000);
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(waitForPending(*rig.server, 1));
    rig.server->close();
    EXPECT_FALSE(rig.server->isOpen());
    EXPECT_TRUE(test::seesEndOfInput(active, 2000));
    EXPECT_TRUE(test::seesEndOfInput(pending, 2000));
    int refusedPort = 0;
    EXPECT_LT(test::rawConnect(rig.port, refusedPort), 0);  // no longer listening
    EXPECT_EQ(rig.server->acceptPeer(ChannelConfig(), 0), nullptr);
    // The same port can be listened on again at once.
    ASSERT_TRUE(rig.server->reopen());
    rig.connect(refusedPort);
    EXPECT_NE(rig.server->acceptPeer(ChannelConfig(), 2000), nullptr);
}

TEST(TcpServer, ABadLocalAddressFailsTheOpen) {
    bool isOpen = true;
    ChannelConfig config = serverConfig(0);
    config.set("local_ip", "loopback");
    TcpChannel server(config, isOpen);
    EXPECT_FALSE(isOpen);
    EXPECT_EQ(server.acceptPeer(ChannelConfig(), 0), nullptr);
}

TEST(TcpChannel, DefaultFactoryBuildsTcpChannels) {
    test::RawListener listener;
    bool isOpen = false;
    auto channel = defaultChannelFactory().tcp(TcpPortRequest{"127.0.0.1", listener.port}, isOpen);
    ASSERT_TRUE(channel);
    EXPECT_TRUE(isOpen);
    const int adapter = listener.acceptOne(2000);
    ASSERT_GE(adapter, 0);
    ASSERT_TRUE(channel->write(bytesOf("ATZ\r").data(), 4, 1000));
    EXPECT_EQ(test::readExactly(adapter, 4, 2000), bytesOf("ATZ\r"));
    channel.reset();
    EXPECT_TRUE(test::seesEndOfInput(adapter, 2000));
    ::close(adapter);
}

}  // namespace
}  // namespace korvane
