#pragma once

#include "channel/channel.h"

namespace korvane {

// A channel that passes every call through to another one; a wrapper that watches or limits some
// calls overrides only those.
class ForwardingChannel : public Channel {
public:
    void close() override { inner_.close(); }
    ReadResult read(std::uint8_t* buffer, int count, int timeoutMs) override {
        return inner_.read(buffer, count, timeoutMs);
    }
    bool write(const std::uint8_t* bytes, int count, int timeoutMs) override {
        return inner_.write(bytes, count, timeoutMs);
    }
    void purge() override { inner_.purge(); }
    int available() override { return inner_.available(); }
    bool isOpen() override { return inner_.isOpen(); }
    bool reopen() override { return inner_.reopen(); }
    Channel* acceptPeer(const ChannelConfig& config, int timeoutMs) override {
        return inner_.acceptPeer(config, timeoutMs);
    }
    int setBaudRate(int baud) override { return inner_.setBaudRate(baud); }
    LinkLoss linkLoss() const override { return inner_.linkLoss(); }
    std::span<const std::uint8_t> received() override { return inner_.received(); }
    void consumeReceived(std::size_t count) override { inner_.consumeReceived(count); }

    // The channel passed through.
    Channel& inner() { return inner_; }

protected:
    explicit ForwardingChannel(Channel& inner) : inner_(inner) {}

private:
    Channel& inner_;
};

}  // namespace korvane
