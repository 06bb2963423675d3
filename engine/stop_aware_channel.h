#pragma once

#include "channel/channel.h"
#include "engine/flow_context.h"

namespace korvane {

// The channel of one run, passed through unchanged once the adapter has been asked into download
// mode. Before that a stop request ends every wait: a one-byte read is waited for in short slices
// with the stop request looked at between them, and once a stop was requested every read and
// write fails at once, so nothing more goes out and the flow ends within a slice of the request.
// (In download mode a stop ends the download between two lines or records, never inside one.)
// Used by the one thread that runs the job.
class StopAwareChannel final : public Channel {
public:
    // The longest a read waits before it looks at the stop request again.
    static constexpr int kSliceMs = 100;

    StopAwareChannel(Channel& inner, FlowContext& run) : inner_(inner), run_(run) {}

    void close() override { inner_.close(); }
    // Stopped once a stop was requested (before download mode).
    ReadResult read(std::uint8_t* buffer, int count, int timeoutMs) override;
    bool write(const std::uint8_t* bytes, int count, int timeoutMs) override;
    void purge() override { inner_.purge(); }
    int available() override { return inner_.available(); }
    bool isOpen() override { return inner_.isOpen(); }
    bool reopen() override { return inner_.reopen(); }
    Channel* acceptPeer(const ChannelConfig& config, int timeoutMs) override {
        return inner_.acceptPeer(config, timeoutMs);
    }
    int setBaudRate(int baud) override { return inner_.setBaudRate(baud); }
    LinkLoss linkLoss() const override { return inner_.linkLoss(); }
    // Bytes already received are no wait, so a stop does not cut them.
    std::span<const std::uint8_t> received() override { return inner_.received(); }
    void consumeReceived(std::size_t count) override { inner_.consumeReceived(count); }

    // The channel passed through.
    Channel& inner() { return inner_; }

private:
    Channel& inner_;
    FlowContext& run_;
};

}  // namespace korvane
