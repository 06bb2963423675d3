#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "channel/channel_config.h"

namespace korvane {

// Splits `text` at `separator`. The separator is appended once, then every stretch that ends at a
// separator is one field, empty stretches included: "a|b" gives a and b, "a||b" gives a, "" and
// b, "a|" gives a and "", "a" gives a, and the empty text gives one empty field.
std::vector<std::string> splitFields(std::string_view text, char separator);

// The two kinds a port descriptor can name.
enum class PortKind { kCom, kTcp };

// What a well-formed descriptor asks for: the kind and the settings of the channel to build.
struct ChannelRequest {
    PortKind kind = PortKind::kCom;
    ChannelConfig config;
};

// The baud rates a descriptor may name. The port itself decides which of them it can run.
inline constexpr int kLowestBaud = 50;
inline constexpr int kHighestBaud = 8000000;

// A decimal number of digits only (no sign, blank or anything after it) from `least` to `most`.
bool parseDecimalInRange(std::string_view text, int least, int most, int& value);

// Which part of a descriptor is malformed.
enum class DescriptorPart {
    None,
    Kind,      // no "|", or the kind word is neither "com" nor "tcp"
    Settings,  // the part after "|" has no ":"
    Baud,      // not a whole number from kLowestBaud to kHighestBaud
    TcpPort,   // not a whole number from 1 to 65535
};

struct DescriptorProblem {
    DescriptorPart part = DescriptorPart::None;
    std::string descriptor;  // the whole descriptor, as given
    std::string value;       // the malformed part
    // A TCP descriptor whose address holds ":" (an IPv6 address): its port part is then wrong.
    bool ipv6Address = false;
};

// Reads "com|NAME:BAUD" or "tcp|IP:PORT". The kind word is matched exactly; fields after a further
// "|" and parts after a further ":" are ignored. The baud rate and the TCP port are whole decimal
// numbers in their range (a number with anything after it is no number). A "com" descriptor gives
// "mode"="direct", "name" and "baud"; a "tcp" descriptor gives "mode"="client", "remote_ip" and
// "remote_port". Nothing when the descriptor is malformed, with the part in `problem` if given.
std::optional<ChannelRequest> parsePortDescriptor(std::string_view descriptor,
                                                  DescriptorProblem* problem = nullptr);

}  // namespace korvane
