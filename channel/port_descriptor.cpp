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

std::optional<ChannelRequest> parsePortDescriptor(std::string_view descriptor) {
    const std::vector<std::string> fields = splitFields(descriptor, '|');
    if (fields.size() < 2 || (fields[0] != "com" && fields[0] != "tcp")) {
        return std::nullopt;
    }
    const std::vector<std::string> parts = splitFields(fields[1], ':');
    if (parts.size() < 2) {
        return std::nullopt;
    }

    ChannelRequest request;
    if (fields[0] == "com") {
        request.kind = PortKind::kCom;
        request.config.set("mode", "direct");
        request.config.set("name", parts[0]);
        request.config.set("baud", parts[1]);
    } else {
        request.kind = PortKind::kTcp;
        request.config.set("mode", "client");
        request.config.set("remote_ip", parts[0]);
        request.config.set("remote_port", parts[1]);
    }
    return request;
}

}  // namespace korvane
