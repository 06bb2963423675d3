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

void keep(ChannelFailure* failure, ChannelFailure why) {
    if (failure != nullptr) {
        *failure = std::move(why);
    }
}

// The port's name as the user gave it, for a failure that did not name it.
std::string portName(const SerialPortRequest& request) {
    return request.name;
}
std::string portName(const TcpPortRequest& request) {
    return request.address + ":" + std::to_string(request.port);
}

template <typename Request>
std::unique_ptr<Channel> construct(const Request& request,
                                   const ChannelConstructor<Request>& constructor,
                                   const ChannelReport& report, ChannelFailure* failure,
                                   const OpenStop& stop) {
    ChannelFailure why;
    // Attempts follow each other at once; a channel that did not open is destroyed before the
    // next one is built, so at most one exists at a time.
    for (int attempt = 0; attempt < kConstructionAttempts; ++attempt) {
        if (!constructor) {
            break;  // no constructor registered for this kind: it can never open
        }
        bool isOpen = false;
        why.open = OpenFailure{};
        std::unique_ptr<Channel> channel = constructor(request, isOpen, why.open, stop);
        if (channel != nullptr && isOpen) {
            return channel;
        }
        if (why.open.cause == OpenCause::Stopped || (stop && stop())) {
            // Given up on purpose: nothing failed that the user should be told of.
            why.open.cause = OpenCause::Stopped;
            keep(failure, std::move(why));
            return nullptr;
        }
    }
    if (!why.open.failed()) {
        why.open.cause = OpenCause::Other;  // no constructor for the kind, or one that said nothing
    }
    if (why.open.port.empty()) {
        why.open.port = portName(request);
    }
    tell(report, kPortConnectionErrorText);
    keep(failure, std::move(why));
    return nullptr;
}

}  // namespace

std::unique_ptr<Channel> createChannel(const PortRequest& request, const ChannelFactory& factory,
                                       const ChannelReport& report, ChannelFailure* failure,
                                       const OpenStop& stop) {
    if (!fitsDescriptor(request)) {
        tell(report, kPortParameterErrorText);
        ChannelFailure why;
        why.descriptor.part = DescriptorPart::Separator;
        why.descriptor.descriptor = portDescriptorText(request);
        keep(failure, std::move(why));
        return nullptr;
    }
    if (const auto* serial = std::get_if<SerialPortRequest>(&request)) {
        return construct(*serial, factory.com, report, failure, stop);
    }
    return construct(std::get<TcpPortRequest>(request), factory.tcp, report, failure, stop);
}

std::unique_ptr<Channel> createChannel(std::string_view descriptor, const ChannelFactory& factory,
                                       const ChannelReport& report, ChannelFailure* failure) {
    ChannelFailure why;
    const std::optional<PortRequest> request = parsePortDescriptor(descriptor, &why.descriptor);
    if (!request) {
        tell(report, kPortParameterErrorText);
        keep(failure, std::move(why));
        return nullptr;
    }
    return createChannel(*request, factory, report, failure);
}

}  // namespace korvane
