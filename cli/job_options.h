#pragma once

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/port_label.h"
#include "cli/progress_display.h"

namespace korvane {

inline constexpr const char* kDefaultTcpAddress = "192.168.0.10";
inline constexpr int kDefaultTcpPort = 35000;
inline constexpr int kDefaultBaud = 115200;
// The most adapters one run drives: each takes a worker thread and its channel's resources.
inline constexpr std::size_t kMostAdapters = 256;

// What `update` and `read` are told on their command lines.
struct JobOptions {
    std::vector<JobPort> ports;  // every port, in the order given
    // Several adapters at once (more than one port, or a ports file): texts are prefixed with the
    // port, and a summary table ends the run.
    bool batch = false;
    std::string file;  // update only
    ProgressMode progress = ProgressMode::Bar;
    bool progressGiven = false;  // --progress was given; otherwise the caller picks by terminal
    bool log = false;            // --log: traffic log on
    bool history = true;         // --no-history clears it: no record of the run
    // --baud auto: the one --serial port's rate is to be found first.
    bool autoBaud = false;
    // --port auto: the one adapter among the listed serial ports is to be found first; `ports`
    // is empty until then.
    bool autoPort = false;
};

// Reads --tcp's value ("", ADDR, ADDR:PORT; the defaults fill what is left out). False with
// `error` set when the port is no number from 1 to 65535 or the address cannot be a descriptor's.
bool parseTcpTarget(const std::string& text, PortRequest& request, std::string& error);

// Parses the arguments after the subcommand's name. The ports come from one or more --port
// DESCRIPTOR and --ports-file FILE options, or from exactly one --serial NAME [--baud N|auto] or
// --tcp [ADDR[:PORT]], which name a single adapter; --port auto alone stands for the one adapter
// among the listed serial ports. A port may be named only once, every
// descriptor must be well formed, numbers are whole decimal numbers in their range, and an option
// that takes one value may be given once. --file PATH is required when `needFile` and unknown
// otherwise. Options take their value as the next argument or after "=".
ParsedLine parseJobCommandLine(const char* name, const CliArgs& args, bool needFile,
                               JobOptions& options);
// The same; false with `error` set on a usage error (or when help was asked for).
bool parseJobOptions(const std::vector<std::string>& args, bool needFile, JobOptions& options,
                     std::string& error);

// The notes and examples under the help of update (true) or read.
std::string jobCommandFooter(bool update);

}  // namespace korvane
