#include "cli/auto_port.h"

#include <ostream>

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

int resolveAutoPort(JobOptions& options, const std::vector<std::string>& listed,
                    const ChannelFactory& factory, std::ostream& err) {
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
    const std::vector<PortFinding> findings = discoverAdapters(targets, factory);
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
