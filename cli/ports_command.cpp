// korvane-fw ports [--json]: the serial ports of this machine, one per line with what the system
// knows of each, or as a JSON array.
#include <memory>
#include <ostream>

#include "channel/serial/serial_port_list.h"
#include "cli/command_line.h"
#include "cli/job_commands.h"
#include "cli/port_description.h"

namespace korvane {

int runPortsCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    const std::unique_ptr<CLI::App> app = makeCommandApp("ports");
    bool json = false;
    app->add_flag("--json", json, "Print the list as one JSON array");
    app->footer(
        "\nOne port a line: its name first, then what the system knows of it (USB ids, product, "
        "serial number, driver). An adapter that is plugged in or paired shows up here; its name "
        "is what --serial and --port take.");
    const ParsedLine parsed = parseCommandLine(*app, args);
    if (parsed.kind != ParsedLine::Kind::Go) {
        return finishCommandLine(parsed, "ports", out, err);
    }
    const std::vector<SerialPortInfo> ports = listSerialPortDetails();
    if (json) {
        out << serialPortListJson(ports);
        return kExitOk;
    }
    out << serialPortListText(ports);
    if (ports.empty()) {
        err << "no serial ports found\n";
    }
    return kExitOk;
}

}  // namespace korvane
