#pragma once

#include <memory>
#include <string>

#include "channel/byte_queue.h"
#include "channel/channel.h"
#include "channel/channel_config.h"
#include "channel/port_descriptor.h"
#include "channel/queue_pump.h"
#include "channel/serial/serial_port.h"
#include "channel/traffic_log/traffic_log.h"
#include "platform/critical_lock.h"

namespace korvane {

// The channel over a serial port (a real port, a USB or Bluetooth virtual port, a pseudo-terminal).
//
// "mode" "direct": read and write move bytes on the port on the caller's thread. Any other mode
// is buffered: a pump thread moves bytes between the port and a receive and a transmit queue, and
// read and write only touch the queues.
//
// Every opening, closing and block of bytes moved by read or write goes to the traffic log
// ("ComPort:" / "  Data[in]:" / "  Data[out]:" lines), which writes a file only when LogLevel is 3
// or more.
class SerialChannel final : public Channel {
public:
    // Opens the requested port in direct mode; `isOpen` tells whether that worked.
    SerialChannel(const SerialPortRequest& request, bool& isOpen);
    // Reads "mode", "name" and "baud" (atoi rule) and opens the port.
    SerialChannel(ChannelConfig config, bool& isOpen);
    ~SerialChannel() override;

    void close() override;
    ReadResult read(std::uint8_t* buffer, int count, int timeoutMs) override;
    bool write(const std::uint8_t* bytes, int count, int timeoutMs) override;
    void purge() override;
    int available() override;
    bool isOpen() override;
    bool reopen() override;
    Channel* acceptPeer(const ChannelConfig& config, int timeoutMs) override;
    int setBaudRate(int baud) override;
    LinkLoss linkLoss() const override;
    // Direct mode: the bytes the port's read-ahead holds; none while the traffic log writes a
    // file, so that every read is logged as it comes.
    std::span<const std::uint8_t> received() override;
    void consumeReceived(std::size_t count) override;

    // The stored rate: the configured one, then the last one asked of setBaudRate.
    int baud() const { return baud_; }
    // Why the last open (construction or reopen) failed; cause None after a successful one.
    const OpenFailure& openFailure() const { return openFailure_; }

private:
    SerialChannel(std::string mode, std::string name, int baud, bool& isOpen);

    bool direct() const { return mode_ == "direct"; }
    bool openPort();
    void releasePort();
    void logOpenEvent(const char* tail);

    std::string mode_;
    std::string name_;
    int baud_ = 0;
    bool open_ = false;
    std::unique_ptr<SerialPort> port_;
    std::unique_ptr<QueuePump> pump_;  // buffered mode, while open
    ByteQueue rxQueue_;
    ByteQueue txQueue_;
    CriticalLock queueLock_;
    std::unique_ptr<TrafficLog> log_;
    OpenFailure openFailure_;
};

}  // namespace korvane
