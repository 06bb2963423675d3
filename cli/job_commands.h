#pragma once

#include "cli/cli.h"

namespace korvane {

// The PORT of update and read is --port DESCRIPTOR, --serial NAME [--baud N] or
// --tcp [ADDR[:PORT]]. --port may be repeated and --ports-file FILE adds the descriptors listed in
// FILE; with more than one adapter (or a ports file) every adapter runs at once, texts are
// prefixed with their port and a summary table ends the run.

// korvane-fw update PORT... --file PATH [--progress=bar|plain|none|json] [--log]
int runUpdateCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
// korvane-fw read PORT... [--progress=bar|plain|none|json] [--log]
int runReadCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
// korvane-fw detect [--serial NAME]... [--port DESCRIPTOR]... [--tcp [ADDR[:PORT]]]... [--json]
int runDetectCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
// korvane-fw ports [--json]
int runPortsCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
// korvane-fw history [--json] [--limit N] [--port P] [--outcome O]
int runHistoryCommand(const CliArgs& args, std::ostream& out, std::ostream& err);

}  // namespace korvane
