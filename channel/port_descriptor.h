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

// The baud rates a descriptor may name. The port itself decides which of them it can run.
inline constexpr int kLowestBaud = 50;
inline constexpr int kHighestBaud = 8000000;

// A decimal number of digits only (no sign, blank or anything after it) from `least` to `most`.
bool parseDecimalInRange(std::string_view text, int least, int most, int& value);

// Which part of a descriptor is malformed.
enum class DescriptorPart {
    None,
    Kind,       // no "|", or the kind word is neither "com" nor "tcp"
    Settings,   // the part after "|" has no ":"
    Baud,       // not a whole number from kLowestBaud to kHighestBaud
    TcpPort,    // not a whole number from 1 to 65535
    Separator,  // a request built directly whose name or address holds "|"
    // "com|NAME:BAUD" whose NAME holds ":" (a by-path name, say): the rate part is then wrong
    // although the text after the last ":" is a rate.
    NameWithColon,
    EmptyName,      // the port name or the address is empty
    PortInAddress,  // the window's address box holds "ADDRESS:PORT"
};

struct DescriptorProblem {
    DescriptorPart part = DescriptorPart::None;
    std::string descriptor;  // the whole descriptor, as given
    std::string value;       // the malformed part
    // A TCP descriptor whose address holds ":" and is no dotted IPv4 address (an IPv6 address):
    // its port part is then wrong.
    bool ipv6Address = false;
};

// Reads "com|NAME:BAUD" or "tcp|IP:PORT", the one place a descriptor is parsed. The kind word is
// matched exactly; fields after a further "|" and parts after a further ":" are ignored. The rate
// and the port are whole decimal numbers in their range (a number with anything after it is no
// number); the name and the address are not empty. Nothing when the descriptor is malformed, with
// the part in `problem` if given.
std::optional<PortRequest> parsePortDescriptor(std::string_view descriptor,
                                               DescriptorProblem* problem = nullptr);

// The descriptor text of a request: "com|NAME:BAUD" or "tcp|IP:PORT".
std::string portDescriptorText(const PortRequest& request);

// The port as the window's boxes give it, in parts: a request, or the problem that keeps the parts
// from being one, told as it is for the descriptor text the parts stand for ("com|NAME:BAUD",
// "tcp|ADDRESS:PORT"), which `problem.descriptor` holds.
struct PortChoice {
    std::optional<PortRequest> request;
    DescriptorProblem problem;  // when there is no request
};

// A serial port's name and the baud-rate text: the rate is a whole decimal number from
// kLowestBaud to kHighestBaud, and the name is not empty. The name may be any device path, ":"
// included (the descriptor text is not parsed back).
PortChoice serialPortChoice(std::string_view name, std::string_view baud);
// A TCP address and the port text: the port is a whole decimal number from 1 to 65535, and the
// address is not empty. An address that holds ":" is refused: as "ADDRESS:PORT" in the address
// box when it is one, else as an IPv6 address.
PortChoice tcpPortChoice(std::string_view address, std::string_view port);
// The descriptor text of a choice: its request's, or the malformed text its problem names.
std::string portChoiceText(const PortChoice& choice);

// Whether `text` reads as a dotted IPv4 address: digits and at least one dot, nothing else.
bool looksLikeIpv4(std::string_view text);

// Whether the request has a descriptor text: its name or address holds no "|". A request built
// directly that does not is refused as malformed, as its descriptor always was.
bool fitsDescriptor(const PortRequest& request);

}  // namespace korvane
