#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "channel/channel_factory.h"
#include "cli/interrupt_source.h"
#include "cli/job_options.h"
#include "engine/adapter_discovery.h"

namespace korvane {

// Every serial port named, each to be tried at every rate.
std::vector<DiscoveryTarget> everyListedPort(const std::vector<std::string>& names);

// discoverAdapters, ended after the rate each port is at when `interrupt` comes (Ctrl-C): then
// `interrupted` is set and the findings tell what was tried.
std::vector<PortFinding> discoverUnlessInterrupted(std::span<const DiscoveryTarget> targets,
                                                   const ChannelFactory& factory,
                                                   InterruptSource& interrupt, bool& interrupted);

// --baud auto and --port auto: finds the adapter first. -1 when options.ports then holds the one
// adapter found, at the rate it answered at, after a line to `err` saying which. Otherwise the
// exit status, after the reason (and for --port auto, what was found on each port) went to
// `err`: none found or, for --port auto, several. `listed` are the serial ports --port auto tries.
// An interrupt during the search gives its exit status.
int resolveAutoPort(JobOptions& options, const std::vector<std::string>& listed,
                    const ChannelFactory& factory, std::ostream& err, InterruptSource& interrupt);
int resolveAutoPort(JobOptions& options, const std::vector<std::string>& listed,
                    const ChannelFactory& factory, std::ostream& err);

}  // namespace korvane
