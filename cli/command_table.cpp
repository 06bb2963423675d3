#include "cli/cli.h"

namespace korvane {

namespace {

constexpr CliCommand kCommands[] = {
    {"check", "FILE", "check an update file and show what it holds", runCheckCommand},
};

}  // namespace

std::span<const CliCommand> cliCommands() {
    return kCommands;
}

}  // namespace korvane
