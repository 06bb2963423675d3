#pragma once

#include "cli/cli.h"

namespace korvane {

// The PORT of update and read is --port DESCRIPTOR, --serial NAME [--baud N] or
// --tcp [ADDR[:PORT]].

// korvane-fw update PORT --file PATH [--progress=bar|plain|none] [--log]
int runUpdateCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
// korvane-fw read PORT [--progress=bar|plain|none] [--log]
int runReadCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
// korvane-fw ports
int runPortsCommand(const CliArgs& args, std::ostream& out, std::ostream& err);

}  // namespace korvane
