#pragma once

#include "channel/forwarding_channel.h"
#include "engine/flow_context.h"

namespace korvane {

// The channel of one run, passed through unchanged once the adapter has been asked into download
// mode. Before that a stop request ends every wait: a one-byte read is waited for in short slices
// with the stop request looked at between them, and once a stop was requested every read and
// write fails at once, so nothing more goes out and the flow ends within a slice of the request.
// (In download mode a stop ends the download between two lines or records, never inside one.)
// Bytes already received are no wait, so a stop does not cut them: they pass through.
// Used by the one thread that runs the job.
class StopAwareChannel final : public ForwardingChannel {
public:
    // The longest a read waits before it looks at the stop request again.
    static constexpr int kSliceMs = 100;

    StopAwareChannel(Channel& inner, FlowContext& run) : ForwardingChannel(inner), run_(run) {}

    // Stopped once a stop was requested (before download mode).
    ReadResult read(std::uint8_t* buffer, int count, int timeoutMs) override;
    bool write(const std::uint8_t* bytes, int count, int timeoutMs) override;

private:
    FlowContext& run_;
};

}  // namespace korvane
