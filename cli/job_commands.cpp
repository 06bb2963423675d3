// korvane-fw update / read: one firmware update or version read-out on an adapter, driven
// through the same UpdateJob as the window.
#include <iostream>
#include <string>

#include "channel/terminal.h"
#include "channel/traffic_log.h"
#include "cli/job_commands.h"
#include "cli/job_options.h"
#include "cli/job_runner.h"
#include "cli/signal_interrupt.h"

namespace korvane {

namespace {

int runJobCommand(JobKind kind, const CliArgs& args, std::ostream& out, std::ostream& err) {
    const char* name = kind == JobKind::Update ? "update" : "read";
    JobOptions options;
    std::string error;
    if (!parseJobOptions(args, kind == JobKind::Update, options, error)) {
        err << "korvane-fw " << name << ": " << error << "\n";
        const int status = subcommandUsage(name, err);
        err << "  PORT: --port DESCRIPTOR (com|NAME:BAUD or tcp|IP:PORT), --serial NAME [--baud N]"
               " (default "
            << kDefaultBaud << ") or --tcp [ADDR[:PORT]] (default " << kDefaultTcpAddress << ":"
            << kDefaultTcpPort << ")\n"
            << "  OPTIONS: --progress=bar|plain|none (default: bar on a terminal, else plain),"
               " --log (write the serial traffic log)\n";
        return status;
    }
    if (!options.progressGiven) {
        const bool terminal = &err == &std::cerr && standardErrorIsTerminal();
        options.progress = terminal ? ProgressMode::Bar : ProgressMode::Plain;
    }

    const int previousLogLevel = LogLevel;
    if (options.log) {
        LogLevel = kTrafficLogLevel;
    }
    SignalInterrupt interrupt;
    UpdateJob job;
    ProgressDisplay progress(options.progress, err);
    const int status = runJob(job, kind, options, progress, out, interrupt);
    LogLevel = previousLogLevel;
    return status;
}

}  // namespace

int runUpdateCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    return runJobCommand(JobKind::Update, args, out, err);
}

int runReadCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    return runJobCommand(JobKind::Read, args, out, err);
}

}  // namespace korvane
