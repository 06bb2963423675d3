#include "cli/port_label.h"

#include <vector>

#include "engine/failure_reason.h"

namespace korvane {

bool parseJobPort(std::string_view descriptor, JobPort& port, std::string& error) {
    ChannelFailure failure;
    const std::optional<PortRequest> request = parsePortDescriptor(descriptor, &failure.descriptor);
    if (!request) {
        error = reasonWords(portFailureReason(failure));
        return false;
    }
    port = JobPort{std::string(descriptor), *request};
    return true;
}

JobPort jobPortOf(const PortRequest& request) {
    return JobPort{portDescriptorText(request), request};
}

std::string portLabel(const JobPort& port) {
    if (const auto* serial = std::get_if<SerialPortRequest>(&port.request)) {
        return serial->name;
    }
    // The address and the port as the user wrote them.
    const std::vector<std::string> parts = splitFields(splitFields(port.descriptor, '|')[1], ':');
    return parts[0] + ":" + parts[1];
}

std::string portKey(const PortRequest& request) {
    if (const auto* serial = std::get_if<SerialPortRequest>(&request)) {
        return "com|" + serial->name;
    }
    // The port as the channel reads it, so "035000" is port 35000.
    const auto& tcp = std::get<TcpPortRequest>(request);
    return "tcp|" + tcp.address + ":" + std::to_string(tcp.port);
}

}  // namespace korvane
