// korvane-fw detect: finds adapters over ports and line rates with the read-only probe.
#include <memory>
#include <ostream>

#include "channel/serial/serial_port_list.h"
#include "cli/auto_port.h"
#include "cli/command_line.h"
#include "cli/detect_output.h"
#include "cli/job_commands.h"
#include "cli/job_options.h"
#include "cli/port_label.h"
#include "cli/signal_interrupt.h"
#include "engine/adapter_discovery.h"
#include "engine/finding_text.h"

namespace korvane {

namespace {

struct RawDetectOptions {
    std::vector<std::string> serial;
    std::vector<std::string> ports;
    std::vector<std::string> tcp;
    bool json = false;
};

void addDetectOptions(CLI::App& app, RawDetectOptions& raw) {
    app.add_option("--serial", raw.serial,
                   "Try the serial port NAME at every rate (again for more ports)")
        ->type_name("NAME");
    app.add_option("--port", raw.ports,
                   "Try this port only at its rate: com|NAME:BAUD, or tcp|ADDRESS:PORT")
        ->type_name("DESCRIPTOR");
    app.add_option("--tcp", raw.tcp,
                   std::string("Try a Wi-Fi adapter at ADDR:PORT (default ") + kDefaultTcpAddress +
                       ":" + std::to_string(kDefaultTcpPort) + ")")
        ->expected(0, 1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false)
        ->type_name("[ADDR[:PORT]]");
    app.add_flag("--json", raw.json, "Print one JSON object per port, as a JSON array");
}

bool buildTargets(const CLI::App& app, const RawDetectOptions& raw,
                  std::vector<DiscoveryTarget>& targets, std::string& error) {
    for (const std::string& name : raw.serial) {
        const PortRequest request = SerialPortRequest{name, kDefaultBaud};
        if (name.empty() || !fitsDescriptor(request)) {
            error = "--serial: the port name must be given and may not contain \"|\"";
            return false;
        }
        targets.push_back({request, true});
    }
    for (const std::string& descriptor : raw.ports) {
        JobPort port;
        if (!parseJobPort(descriptor, port, error)) {
            error = "--port " + error;
            return false;
        }
        targets.push_back({port.request, false});
    }
    const std::size_t tcpCount = app.count("--tcp");
    for (std::size_t i = 0; i < tcpCount; ++i) {
        PortRequest request;
        if (!parseTcpTarget(i < raw.tcp.size() ? raw.tcp[i] : std::string(), request, error)) {
            return false;
        }
        targets.push_back({request, false});
    }
    if (targets.size() > kMostAdapters) {
        error = "at most " + std::to_string(kMostAdapters) + " ports at once";
        return false;
    }
    return true;
}

}  // namespace

int runDetectCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    const std::unique_ptr<CLI::App> app = makeCommandApp("detect");
    RawDetectOptions raw;
    addDetectOptions(*app, raw);
    app->footer(
        "\nWith no port named, every serial port that korvane-fw ports lists is tried at every "
        "rate (TCP only when asked). The probe sends nothing but \"ATI\", \"QXI\" and "
        "\"QXVERS\": it never changes the adapter, its echo or its rate.\n"
        "One line per adapter found, beginning with the descriptor to use (korvane-fw update "
        "--port DESCRIPTOR ...); one line per port without an adapter saying why.\n\n"
        "Exit status: 0 when at least one adapter was found, 1 when none, 2 on a usage error, "
        "130 after Ctrl-C (the ports each end after the rate they are at; what was found so far "
        "is printed).");
    const ParsedLine parsed = parseCommandLine(*app, args);
    if (parsed.kind != ParsedLine::Kind::Go) {
        return finishCommandLine(parsed, "detect", out, err);
    }
    std::vector<DiscoveryTarget> targets;
    std::string error;
    if (!buildTargets(*app, raw, targets, error)) {
        return usageError("detect", error, err);
    }
    if (targets.empty()) {
        targets = everyListedPort(listSerialPorts());
        if (targets.empty()) {
            err << "korvane-fw: no serial ports found; name one with --serial, --port or --tcp\n";
        }
    }
    SignalInterrupt interrupt;
    bool interrupted = false;
    const std::vector<PortFinding> findings =
        discoverUnlessInterrupted(targets, defaultChannelFactory(), interrupt, interrupted);
    bool any = false;
    for (const PortFinding& finding : findings) {
        any = any || finding.found();
    }
    if (raw.json) {
        out << findingsJson(findings);
    } else {
        for (const PortFinding& finding : findings) {
            out << findingLine(finding) << "\n";
        }
    }
    if (interrupted) {
        return interrupt.exitStatus();
    }
    return any ? kExitOk : kExitFailed;
}

}  // namespace korvane
