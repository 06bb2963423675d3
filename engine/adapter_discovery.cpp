// Discovery: each port on a worker of its own, opened once, tried rate by rate with the probe.
#include "engine/adapter_discovery.h"

#include <algorithm>
#include <map>
#include <memory>
#include <variant>

#include "engine/failure_reason.h"
#include "platform/tick.h"
#include "platform/worker_thread.h"

namespace korvane {

namespace {

bool stopAsked(const DiscoveryOptions& options) {
    return options.stop != nullptr && options.stop->load();
}

// Why an open failed, in one line.
std::string openFailureWords(const OpenFailure& failure) {
    if (failure.cause == OpenCause::Busy) {
        return "in use by another program; left alone";
    }
    ChannelFailure channelFailure;
    channelFailure.open = failure;
    std::string words = reasonWords(portFailureReason(channelFailure));
    // The finding names the port already: "PORT: " or "PORT (DEVICE PATH): " goes.
    if (!failure.port.empty() && words.rfind(failure.port, 0) == 0) {
        std::size_t at = failure.port.size();
        if (!failure.devicePath.empty() && words.compare(at, 2, " (") == 0) {
            at += 2 + failure.devicePath.size() + 1;
        }
        if (words.compare(at, 2, ": ") == 0) {
            words.erase(0, at + 2);
        }
    }
    return words;
}

// "line noise only at 9 rates, no answer at 4 rates" for the reasons seen, most frequent first.
std::string reasonsText(const std::map<NoAdapter, int>& seen, bool severalRates) {
    // A loop-back or a modem answers alike at every rate: that is the whole story.
    for (const NoAdapter decisive : {NoAdapter::LoopBack, NoAdapter::Modem}) {
        if (seen.count(decisive) != 0) {
            return noAdapterWords(decisive);
        }
    }
    std::vector<std::pair<int, NoAdapter>> order;
    for (const auto& [why, count] : seen) {
        order.emplace_back(-count, why);
    }
    std::sort(order.begin(), order.end());
    std::string text;
    for (const auto& [negativeCount, why] : order) {
        if (!text.empty()) {
            text += ", ";
        }
        text += noAdapterWords(why);
        if (severalRates) {
            const int count = -negativeCount;
            text += " at " + std::to_string(count) + (count == 1 ? " rate" : " rates");
        }
    }
    return text.empty() ? std::string(noAdapterWords(NoAdapter::Silent)) : text;
}

PortFinding probeTcp(const TcpPortRequest& request, const ChannelFactory& factory,
                     const DiscoveryOptions& options) {
    PortFinding finding;
    finding.request = request;
    bool isOpen = false;
    OpenFailure failure;
    std::unique_ptr<Channel> channel =
        factory.tcp ? factory.tcp(request, isOpen, failure) : nullptr;
    if (channel == nullptr || !isOpen) {
        finding.openCause = failure.failed() ? failure.cause : OpenCause::Other;
        finding.reason = openFailureWords(failure);
        return finding;
    }
    finding.probe = probeAdapter(*channel, options.timing);
    if (!finding.found()) {
        finding.reason = noAdapterWords(finding.probe.nothing);
    }
    return finding;
}

PortFinding probeSerial(const DiscoveryTarget& target, const SerialPortRequest& request,
                        const ChannelFactory& factory, const DiscoveryOptions& options) {
    PortFinding finding;
    finding.request = request;
    std::vector<int> rates;
    if (target.everyRate) {
        rates.assign(std::begin(kDiscoveryRates), std::end(kDiscoveryRates));
    } else {
        rates.push_back(request.baud);
    }
    std::map<NoAdapter, int> seen;
    std::unique_ptr<Channel> channel;
    OpenFailure lastFailure;
    int unsupported = 0;
    for (const int rate : rates) {
        if (stopAsked(options)) {
            break;
        }
        // Opened once; later rates are set on the open port. A port that refuses a rate is
        // opened afresh at the next one.
        if (channel != nullptr && channel->isOpen() && channel->setBaudRate(rate) != 1) {
            channel.reset();
        }
        if (channel == nullptr || !channel->isOpen()) {
            channel.reset();
            bool isOpen = false;
            OpenFailure failure;
            std::unique_ptr<Channel> opened =
                factory.com ? factory.com(SerialPortRequest{request.name, rate}, isOpen, failure)
                            : nullptr;
            if (opened == nullptr || !isOpen) {
                lastFailure = failure;
                if (failure.cause == OpenCause::RateNotSupported) {
                    ++unsupported;
                    continue;
                }
                // Missing, busy, not ours to open: no other rate changes that.
                finding.openCause = failure.failed() ? failure.cause : OpenCause::Other;
                finding.reason = openFailureWords(failure);
                return finding;
            }
            channel = std::move(opened);
        }
        const ProbeFinding probe = probeAdapter(*channel, options.timing);
        if (probe.found()) {
            finding.request = SerialPortRequest{request.name, rate};
            finding.probe = probe;
            return finding;
        }
        ++seen[probe.nothing];
        if (probe.nothing == NoAdapter::LoopBack || probe.nothing == NoAdapter::Modem) {
            break;
        }
    }
    if (seen.empty() && unsupported > 0) {
        finding.openCause = lastFailure.cause;
        finding.reason = openFailureWords(lastFailure);
        return finding;
    }
    finding.reason = reasonsText(seen, rates.size() > 1);
    if (unsupported > 0) {
        finding.reason += "; the port does not run at the other " + std::to_string(unsupported) +
                          (unsupported == 1 ? " rate" : " rates");
    }
    if (stopAsked(options)) {
        finding.reason += " (stopped before every rate was tried)";
    }
    return finding;
}

}  // namespace

PortFinding discoverOnPort(const DiscoveryTarget& target, const ChannelFactory& factory,
                           const DiscoveryOptions& options) {
    const std::int64_t start = tickMs();
    PortFinding finding =
        std::holds_alternative<TcpPortRequest>(target.request)
            ? probeTcp(std::get<TcpPortRequest>(target.request), factory, options)
            : probeSerial(target, std::get<SerialPortRequest>(target.request), factory, options);
    finding.elapsedMs = static_cast<int>(tickMs() - start);
    return finding;
}

std::vector<PortFinding> discoverAdapters(std::span<const DiscoveryTarget> targets,
                                          const ChannelFactory& factory,
                                          const DiscoveryOptions& options) {
    std::vector<PortFinding> findings(targets.size());
    std::vector<std::unique_ptr<WorkerThread>> workers;
    workers.reserve(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        workers.push_back(std::make_unique<WorkerThread>([&, i] {
            findings[i] = discoverOnPort(targets[i], factory, options);
            if (options.onFinding) {
                options.onFinding(i, findings[i]);
            }
        }));
    }
    for (const std::unique_ptr<WorkerThread>& worker : workers) {
        worker->join();
    }
    return findings;
}

std::string findingDescriptor(const PortFinding& finding) {
    return portDescriptorText(finding.request);
}

}  // namespace korvane
