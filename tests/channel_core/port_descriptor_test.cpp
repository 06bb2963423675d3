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

using Entries = std::vector<std::pair<std::string, std::string>>;

struct Accepted {
    const char* descriptor;
    PortKind kind;
    Entries entries;
};

TEST(PortDescriptor, WellFormedDescriptorsGiveTheirKindAndKeys) {
    const Accepted cases[] = {
        {"com|COM3:115200",
         PortKind::kCom,
         {{"baud", "115200"}, {"mode", "direct"}, {"name", "COM3"}}},
        {"com|COM3:115200|extra",
         PortKind::kCom,
         {{"baud", "115200"}, {"mode", "direct"}, {"name", "COM3"}}},
        {"com|COM3:115200:1",
         PortKind::kCom,
         {{"baud", "115200"}, {"mode", "direct"}, {"name", "COM3"}}},
        {"com|\\\\.\\COM12:9600",
         PortKind::kCom,
         {{"baud", "9600"}, {"mode", "direct"}, {"name", "\\\\.\\COM12"}}},
        {"com|:115200", PortKind::kCom, {{"baud", "115200"}, {"mode", "direct"}, {"name", ""}}},
        {"com|COM3:", PortKind::kCom, {{"baud", ""}, {"mode", "direct"}, {"name", "COM3"}}},
        {"tcp|192.168.0.10:35000",
         PortKind::kTcp,
         {{"mode", "client"}, {"remote_ip", "192.168.0.10"}, {"remote_port", "35000"}}},
        {"tcp|127.0.0.1:1|x:y",
         PortKind::kTcp,
         {{"mode", "client"}, {"remote_ip", "127.0.0.1"}, {"remote_port", "1"}}},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.descriptor);
        const auto request = parsePortDescriptor(c.descriptor);
        ASSERT_TRUE(request.has_value());
        EXPECT_EQ(request->kind, c.kind);
        const auto& entries = request->config.entries();
        EXPECT_EQ(Entries(entries.begin(), entries.end()), c.entries);
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
