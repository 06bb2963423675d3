#include "engine/finding_text.h"

#include <variant>

#include "engine/shown_text.h"

namespace korvane {

const char* findingModeText(ProbeVerdict verdict) {
    return verdict == ProbeVerdict::BootLoader ? "boot loader" : "application";
}

std::string findingPortName(const PortFinding& finding) {
    if (const auto* serial = std::get_if<SerialPortRequest>(&finding.request)) {
        return serial->name;
    }
    const auto& tcp = std::get<TcpPortRequest>(finding.request);
    return tcp.address + ":" + std::to_string(tcp.port);
}

std::string findingUse(const PortFinding& finding) {
    const auto* serial = std::get_if<SerialPortRequest>(&finding.request);
    if (serial != nullptr && serial->name.find(':') != std::string::npos) {
        return "--serial " + serial->name + " --baud " + std::to_string(serial->baud);
    }
    return findingDescriptor(finding);
}

namespace {

std::string findingWords(const PortFinding& finding) {
    const ProbeFinding& probe = finding.probe;
    if (!finding.found()) {
        return findingPortName(finding) + ": no adapter: " + finding.reason;
    }
    std::string line = findingUse(finding) + "  ";
    switch (probe.verdict) {
        case ProbeVerdict::Application:
            line += probe.modelName + ", application, device version " +
                    (probe.deviceVersion.empty() ? "(none)" : probe.deviceVersion) +
                    ", adapter version " + probe.adapterVersion;
            break;
        case ProbeVerdict::BootLoader:
            line += "model unknown, boot loader (an update installs the firmware anew)";
            break;
        case ProbeVerdict::ElmOnly:
            line += probe.modelName + ", " + probeVerdictWords(probe.verdict);
            break;
        case ProbeVerdict::Nothing:
            break;
    }
    return line;
}

}  // namespace

std::string findingLine(const PortFinding& finding) {
    // Port names and the adapter's version texts come from outside: the line is shown escaped,
    // so that neither can reach the terminal raw or start a line of its own.
    return shownText(findingWords(finding));
}

}  // namespace korvane
