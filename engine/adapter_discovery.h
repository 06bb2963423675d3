#pragma once

#include <atomic>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "channel/channel_factory.h"
#include "engine/adapter_probe.h"

namespace korvane {

// Finding adapters over ports and line rates with the read-only probe, one worker per port, all
// ports at once.

// The rates a serial port is tried at, the likely ones first: the thirteen of the window's list.
inline constexpr int kDiscoveryRates[] = {38400,  115200, 9600,    57600,   230400,  19200,  256000,
                                          460800, 500000, 1000000, 2000000, 4000000, 8000000};

// One port to probe. A serial port with `everyRate` is tried at every rate of kDiscoveryRates
// until an adapter answers; otherwise only at the rate of its request. A TCP port has no rate.
struct DiscoveryTarget {
    PortRequest request;
    bool everyRate = false;
};

// What discovery found on one port.
struct PortFinding {
    // The port; for a serial adapter found, at the rate it answered at.
    PortRequest request;
    ProbeFinding probe;
    // Not found: why, in one line without a line end, e.g. "line noise only at 13 rates".
    std::string reason;
    OpenCause openCause = OpenCause::None;  // the port could not be opened: why
    int elapsedMs = 0;                      // from the start of this port's probing

    bool found() const { return probe.found(); }
};

struct DiscoveryOptions {
    ProbeTiming timing;
    // Asked between rates; when it is set the remaining rates are left out.
    const std::atomic<bool>* stop = nullptr;
    // Called on the port's worker thread as soon as that port is done (may be empty).
    std::function<void(std::size_t index, const PortFinding& finding)> onFinding;
};

// Probes every target at once, one worker thread each, and gives the findings in target order.
// A port is opened once (the first open of a Bluetooth port can take seconds and its time is no
// rate's answer window), its rate switched between tries, and it is closed as soon as it is done.
// A port another program holds is reported as in use and left alone. Nothing that changes an
// adapter is ever sent (see adapter_probe.h).
std::vector<PortFinding> discoverAdapters(std::span<const DiscoveryTarget> targets,
                                          const ChannelFactory& factory,
                                          const DiscoveryOptions& options = {});

// The same for one target on the calling thread.
PortFinding discoverOnPort(const DiscoveryTarget& target, const ChannelFactory& factory,
                           const DiscoveryOptions& options = {});

// The port's descriptor text as the finding says it: "com|NAME:BAUD" at the rate found.
std::string findingDescriptor(const PortFinding& finding);

}  // namespace korvane
