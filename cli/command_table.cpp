#include "cli/cli.h"
#include "cli/job_commands.h"

namespace korvane {

namespace {

constexpr CliCommand kCommands[] = {
    {"check", "FILE", "check an update file and show what it holds", runCheckCommand},
    {"update", "PORT --file PATH [OPTIONS]",
     "install the firmware of an update file into an adapter", runUpdateCommand},
    {"read", "PORT [OPTIONS]", "show the adapter's firmware and adapter versions", runReadCommand},
    {"ports", "", "list the serial ports of this machine", runPortsCommand},
};

}  // namespace

std::span<const CliCommand> cliCommands() {
    return kCommands;
}

}  // namespace korvane
