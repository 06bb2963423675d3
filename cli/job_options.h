#pragma once

#include <string>
#include <vector>

#include "cli/progress_display.h"

namespace korvane {

inline constexpr const char* kDefaultTcpAddress = "192.168.0.10";
inline constexpr int kDefaultTcpPort = 35000;
inline constexpr int kDefaultBaud = 115200;

// What `update` and `read` are told on their command lines.
struct JobOptions {
    std::string descriptor;  // the port descriptor, "com|NAME:BAUD" or "tcp|IP:PORT"
    std::string file;        // update only
    ProgressMode progress = ProgressMode::Bar;
    bool progressGiven = false;  // --progress was given; otherwise the caller picks by terminal
    bool log = false;            // --log: traffic log on
};

// Parses the arguments after the subcommand's name. The port comes from exactly one of
// --port DESCRIPTOR, --serial NAME [--baud N] or --tcp [ADDR[:PORT]]; --file PATH is required when
// `needFile` and refused otherwise. Options take their value as the next argument or after "=".
// False with `error` set on a usage error.
bool parseJobOptions(const std::vector<std::string>& args, bool needFile, JobOptions& options,
                     std::string& error);

// The descriptor that --serial and --tcp stand for.
std::string serialDescriptor(const std::string& name, int baud);
std::string tcpDescriptor(const std::string& address, int port);

}  // namespace korvane
