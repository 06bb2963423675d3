#include "cli/cli.h"
#include "cli/job_commands.h"

namespace korvane {

namespace {

constexpr CliCommand kCommands[] = {
    {"check", "FILE", "Check an update file and show what it holds", runCheckCommand},
    {"update", "PORT... --file PATH [OPTIONS]",
     "Install the firmware of an update file into one or more adapters", runUpdateCommand},
    {"read", "PORT... [OPTIONS]", "Show the adapters' firmware and adapter versions",
     runReadCommand},
    {"detect", "[--serial NAME]... [--port DESCRIPTOR]... [--tcp [ADDR[:PORT]]]... [--json]",
     "Find adapters: which port, which line rate, which adapter (read-only)", runDetectCommand},
    {"ports", "[--json]", "List the serial ports with what the system knows of them",
     runPortsCommand},
    {"history", "[--json] [--limit N] [--port P] [--outcome O]",
     "Show the update history: every update and read-out, newest first", runHistoryCommand},
};

}  // namespace

std::span<const CliCommand> cliCommands() {
    return kCommands;
}

}  // namespace korvane
