// korvane-fw ports [--json]: the serial ports of this machine, one per line with what the system
// knows of each, or as a JSON array.
#include <ostream>

#include "channel/serial_port_list.h"
#include "cli/job_commands.h"
#include "cli/port_description.h"

namespace korvane {

int runPortsCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    const bool json = args.size() == 1 && args[0] == "--json";
    if (!args.empty() && !json) {
        return subcommandUsage("ports", err);
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
