#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace korvane {

// Splits `text` at `separator`. The separator is appended once, then every stretch that ends at a
// separator is one field, empty stretches included: "a|b" gives a and b, "a||b" gives a, "" and
// b, "a|" gives a and "", "a" gives a, and the empty text gives one empty field.
std::vector<std::string> splitFields(std::string_view text, char separator);

// The port the user chose: a serial port at a rate, or a TCP address and port. The window and the
// command line build it; a port descriptor ("com|NAME:BAUD", "tcp|IP:PORT") is its text form.
struct SerialPortRequest {
    std::string name;
    int baud = 0;
    bool operator==(const SerialPortRequest&) const = default;
};
struct TcpPortRequest {
    std::string address;  // dotted IPv4
    int port = 0;
    bool operator==(const TcpPortRequest&) const = default;
};
using PortRequest = std::variant<SerialPortRequest, TcpPortRequest>;

// Reads "com|NAME:BAUD" or "tcp|IP:PORT", the one place a descriptor is parsed. The kind word is
// matched exactly; fields after a further "|" and parts after a further ":" are ignored. The rate
// and the port are read by the atoi rule (no leading digits give 0). Nothing when the descriptor
// is malformed.
std::optional<PortRequest> parsePortDescriptor(std::string_view descriptor);

// The descriptor text of a request: "com|NAME:BAUD" or "tcp|IP:PORT".
std::string portDescriptorText(const PortRequest& request);

// Whether the request has a descriptor text: its name or address holds no "|". A request built
// directly that does not is refused as malformed, as its descriptor always was.
bool fitsDescriptor(const PortRequest& request);

}  // namespace korvane
