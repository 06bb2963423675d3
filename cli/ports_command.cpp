// korvane-fw ports: the serial ports of this machine, one per line, as the window lists them.
#include <ostream>

#include "channel/serial_port_list.h"
#include "cli/job_commands.h"

namespace korvane {

int runPortsCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        return subcommandUsage("ports", err);
    }
    const std::vector<std::string> ports = listSerialPorts();
    for (const std::string& port : ports) {
        out << port << "\n";
    }
    if (ports.empty()) {
        err << "no serial ports found\n";
    }
    return kExitOk;
}

}  // namespace korvane
