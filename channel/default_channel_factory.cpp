// The channel kinds of this platform: the serial port and the TCP connection.
#include <memory>

#include "channel/channel_factory.h"
#include "channel/serial/serial_channel.h"
#include "channel/tcp/tcp_channel.h"

namespace korvane {

ChannelFactory defaultChannelFactory() {
    auto serial = [](const SerialPortRequest& request, bool& isOpen,
                     OpenFailure& failure) -> std::unique_ptr<Channel> {
        auto channel = std::make_unique<SerialChannel>(request, isOpen);
        failure = channel->openFailure();
        return channel;
    };
    auto tcp = [](const TcpPortRequest& request, bool& isOpen, OpenFailure& failure,
                  const OpenStop& stop) -> std::unique_ptr<Channel> {
        auto channel = std::make_unique<TcpChannel>(request, isOpen, stop);
        failure = channel->openFailure();
        return channel;
    };
    return ChannelFactory{serial, tcp};
}

}  // namespace korvane
