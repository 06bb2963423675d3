// The adapter served over a real pty and a real TCP socket, driven by the tests' own client.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "link_client.h"
#include "sim/adapter/adapter_server.h"
#include "writer_files.h"

namespace korvane::simtest {
namespace {

using sim::AdapterServer;
using sim::AdapterSettings;
using sim::ServerOptions;

ServerOptions ptyOptions() {
    ServerOptions options;
    options.link = ServerOptions::Link::Pty;
    return options;
}

ServerOptions tcpOptions() {
    ServerOptions options;
    options.link = ServerOptions::Link::Tcp;
    options.tcpPort = 0;
    return options;
}

AdapterSettings blockModel() {
    AdapterSettings settings;
    settings.model = sim::kModelZnb540;
    return settings;
}

TEST(PtyServer, HostSwitchesTo2MbpsWithTermios2AndTheAdapterFollows) {
    AdapterServer server(blockModel(), ptyOptions());
    std::string error;
    ASSERT_TRUE(server.start(&error)) << error;
    ASSERT_EQ(server.address().rfind("/dev/pts/", 0), 0u) << server.address();
    auto link = LinkClient::openPty(server.ptyPath(), 115200);
    ASSERT_NE(link, nullptr);

    EXPECT_EQ(link->exchange("ATE1\r"), "OK\r\r>");
    EXPECT_EQ(link->exchange("QXDLZNB540\r"), "QXDLZNB540\rOK\r\r>");
    ASSERT_TRUE(link->write("QX DLBD 02\r"));
    std::string answer;
    ASSERT_TRUE(link->readUntil("OK\r", answer, 3000)) << answer;
    EXPECT_EQ(answer, "QX DLBD 02\rOK\r");
    // No announcement while the host's end is still at 115200.
    EXPECT_EQ(link->readFor(100), "");
    ASSERT_TRUE(link->setRate(2000000));
    std::string announcement;
    EXPECT_TRUE(link->readUntil("ZNB540 Update\r", announcement, 3000)) << announcement;
    EXPECT_EQ(announcement, "ZNB540 Update\r");
    EXPECT_EQ(server.status().hostRate, 2000000);
    EXPECT_EQ(link->exchange("\r"), "\rOK\r\r>");
    EXPECT_EQ(server.status().fastLink, sim::FastLinkPhase::Running);

    EXPECT_EQ(link->exchange("QXDLDT0003A1B2C316\r"), "QXDLDT0003A1B2C316\rOK\r\r>");
    EXPECT_EQ(link->exchange("QXDLED\r"), "QXDLED\rOK\r\r>");
    ASSERT_TRUE(link->setRate(115200));
    EXPECT_EQ(link->exchange("QXVERS\r"), "QXVERS\rZNB540 V1.0.0\r\r>");
    EXPECT_EQ(server.status().update, sim::UpdateStatus::Completed);
    EXPECT_EQ(server.image().entries, std::vector<std::string>{"0003A1B2C316"});
}

TEST(PtyServer, HostAtAnotherRateIsNotUnderstood) {
    AdapterServer server(blockModel(), ptyOptions());
    ASSERT_TRUE(server.start());
    auto link = LinkClient::openPty(server.ptyPath(), 9600);
    ASSERT_NE(link, nullptr);
    ASSERT_TRUE(link->write("ATI\r"));
    EXPECT_EQ(link->readFor(200), "");
    EXPECT_TRUE(server.waitUntil([](const auto& s) { return s.counts.garbledIn == 4; }, 3000));
    // A standard rate set the classic way is read as well as one set through termios2.
    ASSERT_TRUE(link->setStandardRate(115200));
    EXPECT_EQ(link->exchange("ATI\r"), "ELM327 v2.2\r\r>");
    EXPECT_EQ(server.status().hostRate, 115200);
    EXPECT_EQ(server.hostDescriptor(), "com|" + server.ptyPath() + ":115200");
}

TEST(PtyServer, ClosingThePtyAtLineKEndsServingAndRemovesThePath) {
    AdapterSettings settings;
    settings.model = sim::kModelZnb5411;
    settings.faults.dropAtLine = 2;
    AdapterServer server(settings, ptyOptions());
    ASSERT_TRUE(server.start());
    const std::string path = server.ptyPath();
    auto link = LinkClient::openPty(path, 115200);
    ASSERT_NE(link, nullptr);
    const auto lines = sentTexts(family2File(3 * 64));
    EXPECT_EQ(link->exchange("QXUPDT03\r"), "OK\r\r>");
    EXPECT_EQ(link->exchange("QXBL" + lines[0] + "\r"), "...\r\r>");
    ASSERT_TRUE(link->write("QXBL" + lines[1] + "\r"));
    EXPECT_TRUE(link->closedByPeer(3000));
    EXPECT_TRUE(server.waitUntil([](const auto& s) { return !s.linkOpen; }, 3000));
    EXPECT_EQ(server.status().linkDrops, 1);
    EXPECT_NE(access(path.c_str(), F_OK), 0);
}

TEST(PtyServer, StopRemovesThePty) {
    AdapterServer server(blockModel(), ptyOptions());
    ASSERT_TRUE(server.start());
    const std::string path = server.ptyPath();
    EXPECT_EQ(access(path.c_str(), F_OK), 0);
    server.stop();
    EXPECT_NE(access(path.c_str(), F_OK), 0);
}

TEST(TcpServer, ServesOneConnectionAtATimeAndKeepsItsStateAcrossThem) {
    AdapterSettings settings;
    settings.model = sim::kModelZnb5413;
    AdapterServer server(settings, tcpOptions());
    ASSERT_TRUE(server.start());
    ASSERT_NE(server.tcpPort(), 0);
    EXPECT_EQ(server.address(), "127.0.0.1:" + std::to_string(server.tcpPort()));
    EXPECT_EQ(server.hostDescriptor(), "tcp|" + server.address());

    auto first = LinkClient::connectTcp(server.address());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->exchange("ATE1\r"), "OK\r\r>");
    auto second = LinkClient::connectTcp(server.address());
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(second->write("ATI\r"));
    EXPECT_EQ(second->readFor(200), "");
    EXPECT_EQ(first->exchange("ATI\r"), "ATI\rELM327 v2.2\r\r>");

    first.reset();
    std::string answer;
    // The waiting connection is served next; its command was kept in the socket, and the echo
    // that the first connection turned on is still on.
    EXPECT_TRUE(second->readUntil(">", answer, 3000));
    EXPECT_EQ(answer, "ATI\rELM327 v2.2\r\r>");
    EXPECT_EQ(server.status().connections, 2);
}

TEST(TcpServer, DropAtLineKClosesTheConnectionAndTheNextOneGoesOn) {
    AdapterSettings settings;
    settings.model = sim::kModelZnb5411;
    settings.faults.dropAtLine = 3;
    AdapterServer server(settings, tcpOptions());
    ASSERT_TRUE(server.start());
    const auto lines = sentTexts(family2File(3 * 64));

    auto link = LinkClient::connectTcp(server.address());
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->exchange("QXUPDT03\r"), "OK\r\r>");
    EXPECT_EQ(link->exchange("QXBL" + lines[0] + "\r"), "...\r\r>");
    EXPECT_EQ(link->exchange("QXBL" + lines[1] + "\r"), "OK\r\r>");
    ASSERT_TRUE(link->write("QXBL" + lines[2] + "\r"));
    EXPECT_TRUE(link->closedByPeer(3000));

    auto again = LinkClient::connectTcp(server.address());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->exchange("QXBL" + lines[2] + "\r"), "...\r\r>");
    EXPECT_EQ(again->exchange("QXBL" + lines[3] + "\r"), "OK\r\r>");
    EXPECT_EQ(again->exchange("QXFL\r"), "OK\r\r>");
    EXPECT_EQ(server.image().entries, lines);
    EXPECT_EQ(server.status().linkDrops, 1);
}

TEST(TcpServer, FloodReachesTheHostWhole) {
    AdapterSettings settings;
    settings.model = sim::kModelZnb5411;
    settings.faults.floodAtCommand = 1;
    AdapterServer server(settings, tcpOptions());
    ASSERT_TRUE(server.start());
    auto link = LinkClient::connectTcp(server.address());
    ASSERT_NE(link, nullptr);
    ASSERT_TRUE(link->write("ATI\r"));
    std::string flood;
    while (flood.size() < 100000) {
        const std::string more = link->readFor(500);
        if (more.empty()) {
            break;
        }
        flood += more;
    }
    EXPECT_EQ(flood.size(), 100000u);
    EXPECT_EQ(flood.find('>'), std::string::npos);
    EXPECT_EQ(link->exchange("ATI\r"), "ELM327 v2.2\r\r>");
}

TEST(TcpServer, CommandsAreKeptWithTimesInOrder) {
    AdapterSettings settings;
    settings.model = sim::kModelZnb5411;
    AdapterServer server(settings, tcpOptions());
    ASSERT_TRUE(server.start());
    auto link = LinkClient::connectTcp(server.address());
    ASSERT_NE(link, nullptr);
    link->exchange("ATE1\r");
    link->exchange("ATI\r");
    link->exchange("QXI\r");
    const auto commands = server.commands();
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].text, "ATE1");
    EXPECT_EQ(commands[2].text, "QXI");
    EXPECT_EQ(commands[2].number, 3);
    EXPECT_LE(commands[0].timeNs, commands[1].timeNs);
    EXPECT_LE(commands[1].timeNs, commands[2].timeNs);
    EXPECT_LE(commands[2].timeNs, server.nowNs());
    const auto status = server.status();
    EXPECT_EQ(status.counts.bytesIn, 5u + 4u + 4u);
    EXPECT_GT(status.counts.bytesOut, 0u);
}

TEST(TcpServer, StopClosesTheListeningSocket) {
    AdapterSettings settings;
    AdapterServer server(settings, tcpOptions());
    ASSERT_TRUE(server.start());
    const std::string address = server.address();
    server.stop();
    EXPECT_EQ(LinkClient::connectTcp(address), nullptr);
}

}  // namespace
}  // namespace korvane::simtest
