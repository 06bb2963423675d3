// createChannel on arbitrary descriptor text, with both channel kinds replaced by a stub that
// records the request it was given and opens or not as the input says; then the request as the
// real kinds read it (name or address, and the number).
//
// Input: byte 0 says which of the three construction attempts open (bits 0-2) and whether the
// constructor returns no object (bit 3); the rest is the descriptor.
//
// Properties: a channel comes back exactly when the descriptor is well formed and one of at most
// three constructions opened; a failure reports exactly one of the two failure texts, a success
// none; the stub sees the kind, name and number the descriptor names; the fields split by "|" and
// ":" join back to the text; numbers follow the C rule (checked against strtol, clamped to int);
// a request's descriptor text reads back as the same request.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "channel/channel_factory.h"
#include "channel/port_descriptor.h"
#include "fuzz/support/fuzz_channel.h"
#include "fuzz/support/fuzz_check.h"

namespace {

using namespace korvane;

struct Constructions {
    std::vector<std::string> kinds;
    std::vector<PortRequest> requests;
};

template <typename Request>
ChannelConstructor<Request> stub(const char* kind, Constructions& seen, std::uint8_t opens,
                                 bool returnNull) {
    return [kind, &seen, opens, returnNull](const Request& request, bool& isOpen) {
        const std::size_t attempt = seen.kinds.size();
        seen.kinds.emplace_back(kind);
        seen.requests.emplace_back(request);
        isOpen = ((opens >> attempt) & 1U) != 0;
        std::unique_ptr<Channel> channel;
        if (!returnNull) {
            channel = std::make_unique<fuzz::FuzzChannel>(fuzz::FuzzChannelScript{});
        }
        return channel;
    };
}

std::string join(const std::vector<std::string>& fields, char separator) {
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            text.push_back(separator);
        }
        text += fields[i];
    }
    return text;
}

// The C library's reading of a number, clamped to int: what the config's numbers must match.
int referenceNumber(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t control = data[0];
    const std::string_view descriptor(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::uint8_t opens = control & 0x07;
    const bool returnNull = (control & 0x08) != 0;

    // The split rule: fields join back to the text, and there is always at least one.
    for (char separator : {'|', ':'}) {
        const std::vector<std::string> fields = splitFields(descriptor, separator);
        FUZZ_CHECK(!fields.empty());
        FUZZ_CHECK(join(fields, separator) == descriptor);
    }

    Constructions seen;
    ChannelFactory factory{stub<SerialPortRequest>("com", seen, opens, returnNull),
                           stub<TcpPortRequest>("tcp", seen, opens, returnNull)};
    std::vector<std::string> reports;
    std::unique_ptr<Channel> channel = createChannel(
        descriptor, factory, [&reports](const char* text) { reports.emplace_back(text); });

    const std::optional<PortRequest> request = parsePortDescriptor(descriptor);
    FUZZ_CHECK(seen.kinds.size() <= 3);
    if (!request) {
        FUZZ_CHECK(channel == nullptr && seen.kinds.empty());
        FUZZ_CHECK(reports == std::vector<std::string>{"**Failed** Port parameter error!\r\n"});
        return 0;
    }

    const std::vector<std::string> fields = splitFields(descriptor, '|');
    FUZZ_CHECK(fields.size() >= 2 && (fields[0] == "com" || fields[0] == "tcp"));
    const bool opened = !returnNull && (opens & 0x07) != 0;
    if (opened) {
        FUZZ_CHECK(channel != nullptr && reports.empty());
    } else {
        FUZZ_CHECK(channel == nullptr && seen.kinds.size() == 3);
        FUZZ_CHECK(reports == std::vector<std::string>{"**Failed** Port connection error!\r\n"});
    }

    const std::vector<std::string> parts = splitFields(fields[1], ':');
    const bool com = fields[0] == "com";
    FUZZ_CHECK(std::holds_alternative<SerialPortRequest>(*request) == com);
    FUZZ_CHECK(parsePortDescriptor(portDescriptorText(*request)) == request);
    for (std::size_t i = 0; i < seen.kinds.size(); ++i) {
        FUZZ_CHECK(seen.kinds[i] == fields[0]);
        FUZZ_CHECK(seen.requests[i] == *request);
        if (com) {
            const auto& serial = std::get<SerialPortRequest>(seen.requests[i]);
            FUZZ_CHECK(serial.name == parts[0]);
            FUZZ_CHECK(serial.baud == referenceNumber(parts[1]));
        } else {
            const auto& tcp = std::get<TcpPortRequest>(seen.requests[i]);
            FUZZ_CHECK(tcp.address == parts[0]);
            FUZZ_CHECK(tcp.port == referenceNumber(parts[1]));
        }
    }
    return 0;
}
