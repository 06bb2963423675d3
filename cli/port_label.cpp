#include "cli/port_label.h"

#include "channel/port_descriptor.h"

namespace korvane {

std::string portLabel(std::string_view descriptor) {
    const std::optional<ChannelRequest> request = parsePortDescriptor(descriptor);
    if (!request) {
        return std::string(descriptor);
    }
    if (request->kind == PortKind::kCom) {
        return request->config.text("name");
    }
    return request->config.text("remote_ip") + ":" + request->config.text("remote_port");
}

std::string portKey(std::string_view descriptor) {
    const std::optional<ChannelRequest> request = parsePortDescriptor(descriptor);
    if (!request) {
        return "?" + std::string(descriptor);
    }
    if (request->kind == PortKind::kCom) {
        return "com|" + request->config.text("name");
    }
    // The channel reads the port number by the atoi rule, so "035000" is port 35000.
    return "tcp|" + request->config.text("remote_ip") + ":" +
           std::to_string(request->config.number("remote_port"));
}

}  // namespace korvane
