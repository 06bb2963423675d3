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

// Reads "com|NAME:BAUD" or "tcp|IP:PORT". The kind word is matched exactly; fields after a further
// "|" and parts after a further ":" are ignored. A "com" descriptor gives "mode"="direct", "name"
// and "baud"; a "tcp" descriptor gives "mode"="client", "remote_ip" and "remote_port". Nothing when
// the descriptor is malformed.
std::optional<ChannelRequest> parsePortDescriptor(std::string_view descriptor);

}  // namespace korvane
