#pragma once

#include "cli/cli.h"

namespace korvane {

// korvane-fw update (--port DESCRIPTOR | --serial NAME [--baud N] | --tcp [ADDR[:PORT]])
//                   --file PATH [--progress=bar|plain|none] [--log]
int runUpdateCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
// korvane-fw read (--port DESCRIPTOR | --serial NAME [--baud N] | --tcp [ADDR[:PORT]])
//                 [--progress=bar|plain|none] [--log]
int runReadCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
// korvane-fw ports
int runPortsCommand(const CliArgs& args, std::ostream& out, std::ostream& err);

}  // namespace korvane
