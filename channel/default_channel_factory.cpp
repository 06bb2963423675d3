// The channel kinds of this platform: the serial port and the TCP connection.
#include <memory>

#include "channel/channel_factory.h"
#include "channel/serial_channel.h"
#include "channel/tcp_channel.h"

namespace korvane {

ChannelFactory defaultChannelFactory() {
    auto serial = [](const SerialPortRequest& request, bool& isOpen) -> std::unique_ptr<Channel> {
        return std::make_unique<SerialChannel>(request, isOpen);
    };
    auto tcp = [](const TcpPortRequest& request, bool& isOpen) -> std::unique_ptr<Channel> {
        return std::make_unique<TcpChannel>(request, isOpen);
    };
    return ChannelFactory{serial, tcp};
}

}  // namespace korvane
