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
            // A name with ":" in it, followed by a rate: the form cannot carry such a name.
            const std::size_t last = fields[1].rfind(':');
            int rate = 0;
            if (parts.size() > 2 &&
                parseDecimalInRange(std::string_view(fields[1]).substr(last + 1), kLowestBaud,
                                    kHighestBaud, rate)) {
                return refuse(problem, descriptor, DescriptorPart::NameWithColon,
                              fields[1].substr(0, last));
            }
            return refuse(problem, descriptor, DescriptorPart::Baud, parts[1]);
        }
        if (parts[0].empty()) {
            return refuse(problem, descriptor, DescriptorPart::EmptyName);
        }
        return SerialPortRequest{parts[0], number};
    }
    if (!parseDecimalInRange(parts[1], 1, 65535, number)) {
        return refuse(problem, descriptor, DescriptorPart::TcpPort, parts[1],
                      parts.size() > 2 && !looksLikeIpv4(parts[0]));
    }
    if (parts[0].empty()) {
        return refuse(problem, descriptor, DescriptorPart::EmptyName);
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

PortChoice serialPortChoice(std::string_view name, std::string_view baud) {
    PortChoice choice;
    const std::string text = "com|" + std::string(name) + ":" + std::string(baud);
    int rate = 0;
    if (!parseDecimalInRange(baud, kLowestBaud, kHighestBaud, rate)) {
        refuse(&choice.problem, text, DescriptorPart::Baud, std::string(baud));
    } else if (name.empty()) {
        refuse(&choice.problem, text, DescriptorPart::EmptyName);
    } else {
        choice.request = SerialPortRequest{std::string(name), rate};
    }
    return choice;
}

PortChoice tcpPortChoice(std::string_view address, std::string_view port) {
    PortChoice choice;
    const std::string text = "tcp|" + std::string(address) + ":" + std::string(port);
    int number = 0;
    const std::size_t colon = address.find(':');
    if (colon != std::string_view::npos) {
        int inAddress = 0;
        if (looksLikeIpv4(address.substr(0, colon)) &&
            parseDecimalInRange(address.substr(colon + 1), 1, 65535, inAddress)) {
            refuse(&choice.problem, text, DescriptorPart::PortInAddress, std::string(address));
        } else {
            refuse(&choice.problem, text, DescriptorPart::TcpPort, std::string(port), true);
        }
    } else if (!parseDecimalInRange(port, 1, 65535, number)) {
        refuse(&choice.problem, text, DescriptorPart::TcpPort, std::string(port));
    } else if (address.empty()) {
        refuse(&choice.problem, text, DescriptorPart::EmptyName);
    } else {
        choice.request = TcpPortRequest{std::string(address), number};
    }
    return choice;
}

std::string portChoiceText(const PortChoice& choice) {
    return choice.request ? portDescriptorText(*choice.request) : choice.problem.descriptor;
}

bool looksLikeIpv4(std::string_view text) {
    return !text.empty() && text.find('.') != std::string_view::npos &&
           text.find_first_not_of("0123456789.") == std::string_view::npos;
}

bool fitsDescriptor(const PortRequest& request) {
    const std::string& name = std::holds_alternative<SerialPortRequest>(request)
                                  ? std::get<SerialPortRequest>(request).name
                                  : std::get<TcpPortRequest>(request).address;
    return name.find('|') == std::string::npos;
}

}  // namespace korvane
