// The factory step: descriptor text in, open channel out.
#include <optional>

#include "channel/channel_factory.h"
#include "channel/port_descriptor.h"

namespace korvane {

namespace {

constexpr int kConstructionAttempts = 3;
constexpr const char* kParameterError = "**Failed** Port parameter error!\r\n";
constexpr const char* kConnectionError = "**Failed** Port connection error!\r\n";

void tell(const ChannelReport& report, const char* text) {
    if (report) {
        report(text);
    }
}

}  // namespace

std::unique_ptr<Channel> createChannel(std::string_view descriptor, const ChannelFactory& factory,
                                       const ChannelReport& report, ChannelFailure* failure) {
    ChannelFailure why;
    std::optional<ChannelRequest> request = parsePortDescriptor(descriptor, &why.descriptor);
    if (!request) {
        tell(report, kParameterError);
        if (failure != nullptr) {
            *failure = std::move(why);
        }
        return nullptr;
    }

    const ChannelConstructor& construct =
        request->kind == PortKind::kCom ? factory.com : factory.tcp;

    // Attempts follow each other at once; a channel that did not open is destroyed before the
    // next one is built, so at most one exists at a time.
    for (int attempt = 0; attempt < kConstructionAttempts; ++attempt) {
        if (!construct) {
            break;  // no constructor registered for this kind: it can never open
        }
        bool isOpen = false;
        why.open = OpenFailure{};
        std::unique_ptr<Channel> channel = construct(request->config, isOpen, why.open);
        if (channel != nullptr && isOpen) {
            return channel;
        }
    }
    if (!why.open.failed()) {
        why.open.cause = OpenCause::Other;  // no constructor for the kind, or one that said nothing
    }
    if (why.open.port.empty()) {
        why.open.port = request->kind == PortKind::kCom ? request->config.text("name")
                                                        : request->config.text("remote_ip") + ":" +
                                                              request->config.text("remote_port");
    }
    tell(report, kConnectionError);
    if (failure != nullptr) {
        *failure = std::move(why);
    }
    return nullptr;
}

}  // namespace korvane
