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
        // Rates and ports are whole numbers in their range (refusals: MalformedPartsAreNamed).
        {"com|COM3:50", SerialPortRequest{"COM3", 50}},
        {"com|COM3:8000000", SerialPortRequest{"COM3", 8000000}},
        {"tcp|localhost:65535", TcpPortRequest{"localhost", 65535}},
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
    };
    for (const auto& [request, text] : cases) {
        EXPECT_EQ(portDescriptorText(request), text);
        EXPECT_EQ(parsePortDescriptor(text), request) << text;
    }
    // A request outside the ranges has a text, which reads back as malformed.
    EXPECT_EQ(portDescriptorText(TcpPortRequest{"", 0}), "tcp|:0");
    EXPECT_FALSE(parsePortDescriptor("tcp|:0").has_value());
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

// Numbers are whole decimal numbers in their range, nothing read by the atoi rule; the refusal
// names the part and keeps what was given.
TEST(PortDescriptor, MalformedPartsAreNamed) {
    struct Case {
        const char* descriptor;
        DescriptorPart part;
        const char* value;
        bool ipv6;
    };
    const Case cases[] = {
        {"udp|x:1", DescriptorPart::Kind, "udp", false},
        {"com", DescriptorPart::Kind, "com", false},
        {"com|COM3", DescriptorPart::Settings, "COM3", false},
        {"com|COM3:", DescriptorPart::Baud, "", false},
        {"com|COM3:115200abc", DescriptorPart::Baud, "115200abc", false},
        {"com|COM3: 9600", DescriptorPart::Baud, " 9600", false},
        {"com|COM3:+9600", DescriptorPart::Baud, "+9600", false},
        {"com|COM3:49", DescriptorPart::Baud, "49", false},
        {"com|COM3:8000001", DescriptorPart::Baud, "8000001", false},
        {"com|COM3:99999999999999999999", DescriptorPart::Baud, "99999999999999999999", false},
        {"tcp|1.2.3.4:0", DescriptorPart::TcpPort, "0", false},
        {"tcp|1.2.3.4:65536", DescriptorPart::TcpPort, "65536", false},
        {"tcp|1.2.3.4:35000x", DescriptorPart::TcpPort, "35000x", false},
        {"tcp|:", DescriptorPart::TcpPort, "", false},
        {"tcp|::1:35000", DescriptorPart::TcpPort, "", true},
        {"tcp|fe80::1:35000", DescriptorPart::TcpPort, "", true},
        // An IPv4 address with a bad port after it is a bad port, not an IPv6 address.
        {"tcp|127.0.0.1:abc:35000", DescriptorPart::TcpPort, "abc", false},
        // A by-path name: the text after its last ":" is a rate, so the name is at fault.
        {"com|/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0:115200",
         DescriptorPart::NameWithColon, "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0",
         false},
        {"com|:115200", DescriptorPart::EmptyName, "", false},
        {"tcp|:1", DescriptorPart::EmptyName, "", false},
    };
    for (const Case& c : cases) {
        DescriptorProblem problem;
        EXPECT_FALSE(parsePortDescriptor(c.descriptor, &problem).has_value()) << c.descriptor;
        EXPECT_EQ(problem.part, c.part) << c.descriptor;
        EXPECT_EQ(problem.value, c.value) << c.descriptor;
        EXPECT_EQ(problem.descriptor, c.descriptor);
        EXPECT_EQ(problem.ipv6Address, c.ipv6) << c.descriptor;
    }
}

// The window's boxes make a request by the descriptor's rules, or the problem the descriptor text
// they stand for would have.
TEST(PortChoice, PartsMakeARequestOrTheDescriptorsProblem) {
    struct Case {
        PortChoice choice;
        std::optional<PortRequest> request;
        const char* text;
        DescriptorPart part;
        const char* value;
        bool ipv6;
    };
    const Case cases[] = {
        {serialPortChoice("COM3", "115200"), SerialPortRequest{"COM3", 115200}, "com|COM3:115200",
         DescriptorPart::None, "", false},
        {serialPortChoice("/dev/ttyUSB0", "50"), SerialPortRequest{"/dev/ttyUSB0", 50},
         "com|/dev/ttyUSB0:50", DescriptorPart::None, "", false},
        {serialPortChoice("COM3", "49"), std::nullopt, "com|COM3:49", DescriptorPart::Baud, "49",
         false},
        {serialPortChoice("COM3", "9600x"), std::nullopt, "com|COM3:9600x", DescriptorPart::Baud,
         "9600x", false},
        // Any device path, ":" included: the request is not read back from its text.
        {serialPortChoice("/dev/serial/by-path/pci-0000:00:14.0-port0", "115200"),
         SerialPortRequest{"/dev/serial/by-path/pci-0000:00:14.0-port0", 115200},
         "com|/dev/serial/by-path/pci-0000:00:14.0-port0:115200", DescriptorPart::None, "", false},
        {serialPortChoice("", "115200"), std::nullopt, "com|:115200", DescriptorPart::EmptyName, "",
         false},
        {tcpPortChoice("10.0.0.5", "23"), TcpPortRequest{"10.0.0.5", 23}, "tcp|10.0.0.5:23",
         DescriptorPart::None, "", false},
        {tcpPortChoice("10.0.0.5", "035000"), TcpPortRequest{"10.0.0.5", 35000},
         "tcp|10.0.0.5:35000", DescriptorPart::None, "", false},
        {tcpPortChoice("", ""), std::nullopt, "tcp|:", DescriptorPart::TcpPort, "", false},
        {tcpPortChoice("127.0.0.1", "not a port"), std::nullopt, "tcp|127.0.0.1:not a port",
         DescriptorPart::TcpPort, "not a port", false},
        {tcpPortChoice("127.0.0.1", "65536"), std::nullopt, "tcp|127.0.0.1:65536",
         DescriptorPart::TcpPort, "65536", false},
        // An address with a port of its own is not taken with a port the port box does not hold.
        {tcpPortChoice("1.2.3.4:80", "23"), std::nullopt, "tcp|1.2.3.4:80:23",
         DescriptorPart::PortInAddress, "1.2.3.4:80", false},
        {tcpPortChoice("::1", "35000"), std::nullopt, "tcp|::1:35000", DescriptorPart::TcpPort,
         "35000", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.choice.request, c.request) << c.text;
        EXPECT_EQ(portChoiceText(c.choice), c.text);
        EXPECT_EQ(c.choice.problem.part, c.part) << c.text;
        EXPECT_EQ(c.choice.problem.value, c.value) << c.text;
        EXPECT_EQ(c.choice.problem.ipv6Address, c.ipv6) << c.text;
        if (!c.request) {
            EXPECT_EQ(c.choice.problem.descriptor, c.text);
        }
    }
}

}  // namespace
}  // namespace korvane
