#include "channel/tcp/tcp_target.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(TcpTarget, ParseDottedIpv4AcceptsExactlyFourDecimalParts) {
    unsigned char address[4] = {};
    ASSERT_TRUE(parseDottedIpv4("192.168.0.10", address));
    EXPECT_EQ(address[0], 192);
    EXPECT_EQ(address[1], 168);
    EXPECT_EQ(address[2], 0);
    EXPECT_EQ(address[3], 10);
    EXPECT_TRUE(parseDottedIpv4("0.0.0.0", address));
    EXPECT_TRUE(parseDottedIpv4("255.255.255.255", address));
    for (const char* text :
         {"", "1.2.3", "1.2.3.4.5", "1..3.4", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "01.2.3.4",
          "1.2.3.-4", "1.2.3.4a", "1234.1.1.1", "localhost", "::1", "0x7f.0.0.1"}) {
        EXPECT_FALSE(parseDottedIpv4(text, address)) << text;
    }
    EXPECT_FALSE(parseDottedIpv4(std::string("1.2.3.4\0", 8), address));
}

TEST(TcpTarget, CheckNamesTheTargetAndRecordsTheFirstFault) {
    const struct {
        const char* ip;
        int port;
        bool usable;
        OpenCause cause;
    } cases[] = {
        {"192.168.0.10", 35000, true, OpenCause::None},
        {"192.168.0.10", 65535, true, OpenCause::None},
        {"192.168.0.10", 0, false, OpenCause::BadPortNumber},
        {"192.168.0.10", 65536, false, OpenCause::BadPortNumber},
        {"192.168.0.10", -1, false, OpenCause::BadPortNumber},
        {"localhost", 35000, false, OpenCause::BadAddress},
        {"localhost", 0, false, OpenCause::BadAddress},
    };
    for (const auto& c : cases) {
        OpenFailure failure;
        failure.record(OpenCause::Other, 5);  // a stale cause is never kept
        unsigned char address[4] = {};
        EXPECT_EQ(checkTcpTarget(c.ip, c.port, address, failure), c.usable) << c.ip << c.port;
        EXPECT_EQ(failure.cause, c.cause) << c.ip << ":" << c.port;
        EXPECT_EQ(failure.port, std::string(c.ip) + ":" + std::to_string(c.port));
    }
}

}  // namespace
}  // namespace korvane
