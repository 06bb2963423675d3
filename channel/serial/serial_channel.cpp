#include "channel/serial/serial_channel.h"

#include <utility>

namespace korvane {

namespace {
constexpr const char* kDirectMode = "direct";
constexpr const char* kPortHead = "ComPort:";
constexpr const char* kOpenedTail = " Is Opened!";
constexpr const char* kClosedTail = " Is Closed!";
constexpr const char* kInHead = "  Data[in]:";
constexpr const char* kOutHead = "  Data[out]:";
}  // namespace

SerialChannel::SerialChannel(const SerialPortRequest& request, bool& isOpen)
    : SerialChannel(kDirectMode, request.name, request.baud, isOpen) {}

SerialChannel::SerialChannel(ChannelConfig config, bool& isOpen)
    : SerialChannel(config.text("mode"), config.text("name"), config.number("baud"), isOpen) {}

SerialChannel::SerialChannel(std::string mode, std::string name, int baud, bool& isOpen)
    : mode_(std::move(mode)),
      name_(std::move(name)),
      baud_(baud),
      log_(createChannelTrafficLog(name_)) {
    isOpen = openPort();
    if (isOpen) {
        logOpenEvent(kOpenedTail);
    }
}

SerialChannel::~SerialChannel() {
    close();
}

void SerialChannel::close() {
    if (!open_) {
        return;
    }
    releasePort();
    logOpenEvent(kClosedTail);
}

ReadResult SerialChannel::read(std::uint8_t* buffer, int count, int timeoutMs) {
    if (direct()) {
        if (!open_ || count < 0) {
            return ReadResult::LinkLost;
        }
        // Bytes already taken from the driver need no deadline: the usual one-byte read.
        if (!port_->readHeld(buffer, count)) {
            const int got = port_->read(buffer, count, Deadline(timeoutMs));
            if (got != count) {
                return got < 0 ? ReadResult::LinkLost : ReadResult::TimedOut;
            }
        }
    } else {
        const ReadResult result =
            readFromQueue(rxQueue_, queueLock_, pump_.get(), buffer, count, timeoutMs);
        if (result != ReadResult::Read || count == 0) {
            return result;
        }
    }
    log_->logData(buffer, count, kInHead, "");
    return ReadResult::Read;
}

std::span<const std::uint8_t> SerialChannel::received() {
    if (!direct() || !open_ || log_->hasFile()) {
        return {};
    }
    return port_->held();
}

void SerialChannel::consumeReceived(std::size_t count) {
    if (direct() && open_ && !log_->hasFile()) {
        port_->consumeHeld(count);
    }
}

bool SerialChannel::write(const std::uint8_t* bytes, int count, int timeoutMs) {
    if (direct()) {
        if (!open_ || count < 0) {
            return false;
        }
        if (port_->write(bytes, count, Deadline(timeoutMs)) != count) {
            return false;
        }
    } else if (!writeToQueue(txQueue_, queueLock_, pump_.get(), bytes, count, timeoutMs)) {
        return false;
    } else if (count == 0) {
        return true;
    }
    log_->logData(bytes, count, kOutHead, "");
    return true;
}

void SerialChannel::purge() {
    if (open_) {
        port_->purge();
    }
    rxQueue_.clear();
}

int SerialChannel::available() {
    if (direct() && open_) {
        const int pending = port_->pendingInput();
        return pending >= 0 ? pending : static_cast<int>(port_->held().size());
    }
    return static_cast<int>(rxQueue_.size());
}

bool SerialChannel::isOpen() {
    return open_;
}

bool SerialChannel::reopen() {
    close();
    if (openPort()) {
        logOpenEvent(kOpenedTail);
    }
    return open_;
}

Channel* SerialChannel::acceptPeer(const ChannelConfig&, int) {
    return nullptr;
}

int SerialChannel::setBaudRate(int baud) {
    baud_ = baud;
    if (!direct() || !open_) {
        return -1;
    }
    if (port_->setBaud(baud)) {
        return 1;
    }
    // The port is in an unknown state now: give it up; later reads and writes fail.
    port_.reset();
    open_ = false;
    return -1;
}

LinkLoss SerialChannel::linkLoss() const {
    return port_ ? port_->loss() : LinkLoss{};
}

bool SerialChannel::openPort() {
    open_ = false;
    port_ = openSerialPort(name_, baud_, openFailure_);
    if (!port_) {
        return false;
    }
    open_ = true;
    if (!direct()) {
        rxQueue_.clear();
        pump_ = std::make_unique<QueuePump>(*port_, rxQueue_, txQueue_, queueLock_);
    }
    return true;
}

void SerialChannel::releasePort() {
    // The pump is stopped and joined before the port closes, so it never touches a closed port.
    pump_.reset();
    port_.reset();
    open_ = false;
}

void SerialChannel::logOpenEvent(const char* tail) {
    log_->logText(name_ + ":" + std::to_string(baud_), kPortHead, tail);
}

}  // namespace korvane
