// The factory step: the requested port (or its descriptor text) in, open channel out.
#include <optional>

#include "channel/channel_factory.h"
#include "channel/port_descriptor.h"

namespace korvane {

namespace {

constexpr int kConstructionAttempts = 3;

void tell(const ChannelReport& report, const char* text) {
    if (report) {
        report(text);
    }
}

template <typename Request>
std::unique_ptr<Channel> construct(const Request& request,
                                   const ChannelConstructor<Request>& constructor,
                                   const ChannelReport& report) {
    // Attempts follow each other at once; a channel that did not open is destroyed before the
    // next one is built, so at most one exists at a time.
    for (int attempt = 0; attempt < kConstructionAttempts; ++attempt) {
        if (!constructor) {
            break;  // no constructor registered for this kind: it can never open
        }
        bool isOpen = false;
        std::unique_ptr<Channel> channel = constructor(request, isOpen);
        if (channel != nullptr && isOpen) {
            return channel;
        }
    }
    tell(report, kPortConnectionErrorText);
    return nullptr;
}

}  // namespace

std::unique_ptr<Channel> createChannel(const PortRequest& request, const ChannelFactory& factory,
                                       const ChannelReport& report) {
    if (!fitsDescriptor(request)) {
        tell(report, kPortParameterErrorText);
        return nullptr;
    }
    if (const auto* serial = std::get_if<SerialPortRequest>(&request)) {
        return construct(*serial, factory.com, report);
    }
    return construct(std::get<TcpPortRequest>(request), factory.tcp, report);
}

std::unique_ptr<Channel> createChannel(std::string_view descriptor, const ChannelFactory& factory,
                                       const ChannelReport& report) {
    const std::optional<PortRequest> request = parsePortDescriptor(descriptor);
    if (!request) {
        tell(report, kPortParameterErrorText);
        return nullptr;
    }
    return createChannel(*request, factory, report);
}

}  // namespace korvane
