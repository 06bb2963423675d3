#pragma once

#include <string>

#include "sim/adapter/adapter_server.h"
#include "sim/adapter/adapter_settings.h"

namespace korvane::sim {

// What the korvane-adapter-sim command line asks for.
struct CliOptions {
    AdapterSettings settings;
    ServerOptions server;
    bool trace = false;  // print every command with its time on stderr
    bool help = false;
};

// Parses the arguments after the program name. False with `error` set on a bad argument.
bool parseCommandLine(int argc, const char* const* argv, CliOptions& options, std::string& error);

// The text --help prints.
const char* usageText();

}  // namespace korvane::sim
