#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channel/port_descriptor.h"

namespace korvane {
namespace {

using Fields = std::vector<std::string>;

TEST(SplitFields, EveryStretchEndingAtASeparatorIsAField) {
    struct Case {
        const char* text;
        Fields fields;
    };
    const Case cases[] = {
        {"a|b", {"a", "b"}}, {"a||b", {"a", "", "b"}},
        {"a|", {"a", ""}},   {"a", {"a"}},
        {"", {""}},          {"|", {"", ""}},
        {"|a", {"", "a"}},   {"a|b|c|d", {"a", "b", "c", "d"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitFields(c.text, '|'), c.fields) << '"' << c.text << '"';
    }
    EXPECT_EQ(splitFields("COM3:115200:1", ':'), (Fields{"COM3", "115200", "1"}));
}

TEST(PortDescriptor, WellFormedDescriptorsGiveTheRequestTheyName) {
    const std::pair<const char*, PortRequest> cases[] = {
        {"com|COM3:115200", SerialPortRequest{"COM3", 115200}},
        {"com|COM3:115200|extra", SerialPortRequest{"COM3", 115200}},
        {"com|COM3:115200:1", SerialPortRequest{"COM3", 115200}},
        {"com|\\\\.\\COM12:9600", SerialPortRequest{"\\\\.\\COM12", 9600}},
        {"com|:115200", SerialPortRequest{"", 115200}},
        // The rate and the port are read by the atoi rule, as the channels always have.
        {"com|COM3:", SerialPortRequest{"COM3", 0}},
        {"com|COM3:abc", SerialPortRequest{"COM3", 0}},
        {"com|COM3: 9600baud", SerialPortRequest{"COM3", 9600}},
        {"tcp|192.168.0.10:35000", TcpPortRequest{"192.168.0.10", 35000}},
        {"tcp|127.0.0.1:1|x:y", TcpPortRequest{"127.0.0.1", 1}},
        {"tcp|127.0.0.1:035000", TcpPortRequest{"127.0.0.1", 35000}},
    };
    for (const auto& [descriptor, request] : cases) {
        SCOPED_TRACE(descriptor);
        EXPECT_EQ(parsePortDescriptor(descriptor), request);
    }
}

TEST(PortDescriptor, TheTextOfARequestReadsBackAsTheSameRequest) {
    const std::pair<PortRequest, const char*> cases[] = {
        {SerialPortRequest{"COM3", 115200}, "com|COM3:115200"},
        {SerialPortRequest{"/dev/ttyUSB0", 2000000}, "com|/dev/ttyUSB0:2000000"},
        {TcpPortRequest{"192.168.0.10", 35000}, "tcp|192.168.0.10:35000"},
        {TcpPortRequest{"", 0}, "tcp|:0"},
    };
    for (const auto& [request, text] : cases) {
        EXPECT_EQ(portDescriptorText(request), text);
        EXPECT_EQ(parsePortDescriptor(text), request) << text;
    }
}

TEST(PortDescriptor, MalformedDescriptorsAreRefused) {
    const char* cases[] = {
        "",    "com",      "com|", "com|COM3",    "COM|COM3:9600", "Com|COM3:9600", "udp|x:1",
        "tcp", "tcp|host", "|x:1", "com||COM3:1", " com|COM3:1",   "tcp |a:1",      "com:COM3|1",
    };
    for (const char* descriptor : cases) {
        EXPECT_FALSE(parsePortDescriptor(descriptor).has_value()) << '"' << descriptor << '"';
    }
}

}  // namespace
}  // namespace korvane
