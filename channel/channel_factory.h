#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "channel/channel.h"
#include "channel/channel_config.h"

namespace korvane {

// Builds one channel of a kind from its config. The channel opens itself while it is built and
// tells through `isOpen` whether that worked; a channel that failed to open is still a valid
// object.
using ChannelConstructor =
    std::function<std::unique_ptr<Channel>(const ChannelConfig& config, bool& isOpen)>;

// The constructor registered for each descriptor kind. Tests plug scripted channels in here; the
// program uses defaultChannelFactory().
struct ChannelFactory {
    ChannelConstructor com;
    ChannelConstructor tcp;
};

// The real serial and TCP kinds of this platform.
ChannelFactory defaultChannelFactory();

// Receives the failure texts of createChannel ("**Failed** ...\r\n").
using ChannelReport = std::function<void(const char* text)>;

// Turns a port descriptor ("com|NAME:BAUD" or "tcp|IP:PORT") into an open channel, with up to
// three construction attempts. On failure reports the failure text and returns nullptr.
std::unique_ptr<Channel> createChannel(std::string_view descriptor, const ChannelFactory& factory,
                                       const ChannelReport& report);

}  // namespace korvane
