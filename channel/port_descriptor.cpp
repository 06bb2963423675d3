#include "channel/port_descriptor.h"

#include "channel/atoi_rule.h"

namespace korvane {

std::vector<std::string> splitFields(std::string_view text, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            // The appended separator closes the last stretch.
            fields.emplace_back(text.substr(start));
            return fields;
        }
        fields.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

std::optional<PortRequest> parsePortDescriptor(std::string_view descriptor) {
    const std::vector<std::string> fields = splitFields(descriptor, '|');
    if (fields.size() < 2 || (fields[0] != "com" && fields[0] != "tcp")) {
        return std::nullopt;
    }
    const std::vector<std::string> parts = splitFields(fields[1], ':');
    if (parts.size() < 2) {
        return std::nullopt;
    }
    if (fields[0] == "com") {
        return SerialPortRequest{parts[0], atoiRule(parts[1])};
    }
    return TcpPortRequest{parts[0], atoiRule(parts[1])};
}

std::string portDescriptorText(const PortRequest& request) {
    if (const auto* serial = std::get_if<SerialPortRequest>(&request)) {
        return "com|" + serial->name + ":" + std::to_string(serial->baud);
    }
    const auto& tcp = std::get<TcpPortRequest>(request);
    return "tcp|" + tcp.address + ":" + std::to_string(tcp.port);
}

bool fitsDescriptor(const PortRequest& request) {
    const std::string& name = std::holds_alternative<SerialPortRequest>(request)
                                  ? std::get<SerialPortRequest>(request).name
                                  : std::get<TcpPortRequest>(request).address;
    return name.find('|') == std::string::npos;
}

}  // namespace korvane
