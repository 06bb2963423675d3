#include "channel/port_descriptor.h"

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

bool parseDecimalInRange(std::string_view text, int least, int most, int& value) {
    if (text.empty()) {
        return false;
    }
    long long result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        result = result * 10 + (c - '0');
        if (result > most) {
            return false;
        }
    }
    if (result < least) {
        return false;
    }
    value = static_cast<int>(result);
    return true;
}

namespace {

std::nullopt_t refuse(DescriptorProblem* problem, std::string_view descriptor, DescriptorPart part,
                      std::string value = {}, bool ipv6 = false) {
    if (problem != nullptr) {
        problem->part = part;
        problem->descriptor.assign(descriptor);
        problem->value = std::move(value);
        problem->ipv6Address = ipv6;
    }
    return std::nullopt;
}

}  // namespace

std::optional<PortRequest> parsePortDescriptor(std::string_view descriptor,
                                               DescriptorProblem* problem) {
    const std::vector<std::string> fields = splitFields(descriptor, '|');
    if (fields.size() < 2 || (fields[0] != "com" && fields[0] != "tcp")) {
        return refuse(problem, descriptor, DescriptorPart::Kind, fields[0]);
    }
    const std::vector<std::string> parts = splitFields(fields[1], ':');
    if (parts.size() < 2) {
        return refuse(problem, descriptor, DescriptorPart::Settings, fields[1]);
    }
    int number = 0;
    if (fields[0] == "com") {
        if (!parseDecimalInRange(parts[1], kLowestBaud, kHighestBaud, number)) {
            return refuse(problem, descriptor, DescriptorPart::Baud, parts[1]);
        }
        return SerialPortRequest{parts[0], number};
    }
    if (!parseDecimalInRange(parts[1], 1, 65535, number)) {
        return refuse(problem, descriptor, DescriptorPart::TcpPort, parts[1], parts.size() > 2);
    }
    return TcpPortRequest{parts[0], number};
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
