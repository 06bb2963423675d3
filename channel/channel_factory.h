#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "channel/channel.h"
#include "channel/port_descriptor.h"

namespace korvane {

// Builds one channel of a kind from the user's request. The channel opens itself while it is
// built and tells through `isOpen` whether that worked; a channel that failed to open is still a
// valid object.
template <typename Request>
using ChannelConstructor =
    std::function<std::unique_ptr<Channel>(const Request& request, bool& isOpen)>;

// The constructor registered for each kind. Tests plug scripted channels in here; the program uses
// defaultChannelFactory().
struct ChannelFactory {
    ChannelConstructor<SerialPortRequest> com;
    ChannelConstructor<TcpPortRequest> tcp;
};

// The real serial and TCP kinds of this platform.
ChannelFactory defaultChannelFactory();

inline constexpr const char* kPortParameterErrorText = "**Failed** Port parameter error!\r\n";
inline constexpr const char* kPortConnectionErrorText = "**Failed** Port connection error!\r\n";

// Receives the failure texts of createChannel ("**Failed** ...\r\n").
using ChannelReport = std::function<void(const char* text)>;

// Opens the requested port, with up to three construction attempts. On failure reports "**Failed**
// Port connection error!\r\n" and returns nullptr; a request without a descriptor text
// (fitsDescriptor) is refused with "**Failed** Port parameter error!\r\n" and nothing is built.
std::unique_ptr<Channel> createChannel(const PortRequest& request, const ChannelFactory& factory,
                                       const ChannelReport& report);

// The same for a port descriptor ("com|NAME:BAUD" or "tcp|IP:PORT"); a malformed one is reported
// as "**Failed** Port parameter error!\r\n" and nothing is built.
std::unique_ptr<Channel> createChannel(std::string_view descriptor, const ChannelFactory& factory,
                                       const ChannelReport& report);

}  // namespace korvane
