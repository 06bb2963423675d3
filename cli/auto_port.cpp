#include "cli/auto_port.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>

#include "platform/worker_thread.h"

#include "cli/detect_output.h"
#include "engine/finding_text.h"

namespace korvane {

std::vector<DiscoveryTarget> everyListedPort(const std::vector<std::string>& names) {
    std::vector<DiscoveryTarget> targets;
    for (const std::string& name : names) {
        targets.push_back({SerialPortRequest{name, kDefaultBaud}, true});
    }
    return targets;
}

namespace {

// How often the waiting thread looks at the interrupt flag, which a signal handler sets.
constexpr auto kInterruptCheck = std::chrono::milliseconds(50);

class NoInterrupt : public InterruptSource {
public:
    bool pending() override { return false; }
};

}  // namespace

std::vector<PortFinding> discoverUnlessInterrupted(std::span<const DiscoveryTarget> targets,
                                                   const ChannelFactory& factory,
                                                   InterruptSource& interrupt, bool& interrupted) {
    std::atomic<bool> stop{false};
    DiscoveryOptions options;
    options.stop = &stop;
    std::vector<PortFinding> findings;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    WorkerThread worker([&] {
        std::vector<PortFinding> found = discoverAdapters(targets, factory, options);
        std::lock_guard<std::mutex> hold(mutex);
        findings = std::move(found);
        done = true;
        finished.notify_all();
    });
    interrupted = false;
    std::unique_lock<std::mutex> hold(mutex);
    while (!finished.wait_for(hold, kInterruptCheck, [&] { return done; })) {
        if (!interrupted && interrupt.pending()) {
            interrupted = true;
            stop.store(true);
        }
    }
    hold.unlock();
    worker.join();
    return findings;
}

int resolveAutoPort(JobOptions& options, const std::vector<std::string>& listed,
                    const ChannelFactory& factory, std::ostream& err) {
    NoInterrupt none;
    return resolveAutoPort(options, listed, factory, err, none);
}

int resolveAutoPort(JobOptions& options, const std::vector<std::string>& listed,
                    const ChannelFactory& factory, std::ostream& err, InterruptSource& interrupt) {
    if (!options.autoBaud && !options.autoPort) {
        return -1;
    }
    std::vector<DiscoveryTarget> targets;
    if (options.autoBaud) {
        targets.push_back({options.ports.at(0).request, true});
    } else {
        targets = everyListedPort(listed);
        if (targets.empty()) {
            err << "korvane-fw: --port auto: no serial ports found; is the adapter plugged in, or "
                   "paired for Bluetooth?\n";
            return kExitFailed;
        }
    }
    bool interrupted = false;
    const std::vector<PortFinding> findings =
        discoverUnlessInterrupted(targets, factory, interrupt, interrupted);
    if (interrupted) {
        err << "korvane-fw: the adapter search was stopped\n";
        return interrupt.exitStatus();
    }
    const PortFinding* chosen = nullptr;
    int found = 0;
    for (const PortFinding& finding : findings) {
        if (finding.found()) {
            ++found;
            chosen = &finding;
        }
    }
    if (options.autoBaud) {
        const PortFinding& finding = findings.front();
        if (!finding.found()) {
            err << "korvane-fw: --baud auto: " << findingLine(finding) << "\n";
            return kExitFailed;
        }
        const auto& serial = std::get<SerialPortRequest>(finding.request);
        err << "korvane-fw: the adapter on " << serial.name << " answers at " << serial.baud
            << " baud: " << findingLine(finding) << "\n";
    } else if (found != 1) {
        err << "korvane-fw: --port auto: "
            << (found == 0 ? std::string("no adapter found")
                           : std::to_string(found) + " adapters found; name one with --port")
            << "\n";
        for (const PortFinding& finding : findings) {
            err << "  " << findingLine(finding) << "\n";
        }
        return kExitFailed;
    } else {
        err << "korvane-fw: --port auto: using " << findingLine(*chosen) << "\n";
    }
    options.ports.assign(1, jobPortOf(chosen->request));
    options.batch = false;
    return -1;
}

}  // namespace korvane
