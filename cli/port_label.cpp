#include "cli/port_label.h"

#include "channel/port_descriptor.h"

namespace korvane {

std::string portLabel(std::string_view descriptor) {
    const std::optional<PortRequest> request = parsePortDescriptor(descriptor);
    if (!request) {
        return std::string(descriptor);
    }
    if (const auto* serial = std::get_if<SerialPortRequest>(&*request)) {
        return serial->name;
    }
    // The address and the port as the user wrote them.
    const std::vector<std::string> parts = splitFields(splitFields(descriptor, '|')[1], ':');
    return parts[0] + ":" + parts[1];
}

std::string portKey(std::string_view descriptor) {
    const std::optional<PortRequest> request = parsePortDescriptor(descriptor);
    if (!request) {
        return "?" + std::string(descriptor);
    }
    if (const auto* serial = std::get_if<SerialPortRequest>(&*request)) {
        return "com|" + serial->name;
    }
    // The port as the channel reads it, so "035000" is port 35000.
    const auto& tcp = std::get<TcpPortRequest>(*request);
    return "tcp|" + tcp.address + ":" + std::to_string(tcp.port);
}

}  // namespace korvane
