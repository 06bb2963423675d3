// korvane-fw update / read: a firmware update or version read-out on one adapter or on several
// at once, driven through the same UpdateJob as the window.
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "channel/serial/serial_port_list.h"
#include "channel/traffic_log/traffic_log.h"
#include "channel/traffic_log/traffic_log_notice.h"
#include "cli/auto_port.h"
#include "cli/batch_runner.h"
#include "cli/job_commands.h"
#include "cli/job_options.h"
#include "cli/json_batch_output.h"
#include "cli/port_label.h"
#include "cli/signal_interrupt.h"
#include "cli/single_adapter_output.h"
#include "cli/text_batch_output.h"
#include "engine/failure_reason.h"
#include "history/history_files.h"
#include "history/history_recorder.h"
#include "platform/terminal.h"
#include "platform/terminal_size.h"

namespace korvane {

namespace {

std::unique_ptr<BatchOutput> makeBatchOutput(const JobOptions& options, std::ostream& out,
                                             std::ostream& err) {
    std::vector<std::string> descriptors;
    std::vector<std::string> labels;
    for (const JobPort& port : options.ports) {
        descriptors.push_back(port.descriptor);
        labels.push_back(portLabel(port));
    }
    if (options.progress == ProgressMode::Json) {
        return std::make_unique<JsonBatchOutput>(descriptors, out);
    }
    TerminalSize size;
    ProgressMode mode = options.progress;
    // The board moves the cursor over several lines: without a terminal that follows, the
    // adapters' progress goes out as plain lines instead.
    if (mode == ProgressMode::Bar &&
        (&err != &std::cerr || !standardErrorSize(size.rows, size.columns))) {
        mode = ProgressMode::Plain;
    }
    return std::make_unique<TextBatchOutput>(labels, mode, out, err, size);
}

int runJobCommand(JobKind kind, const CliArgs& args, std::ostream& out, std::ostream& err) {
    const char* name = kind == JobKind::Update ? "update" : "read";
    JobOptions options;
    const ParsedLine parsed = parseJobCommandLine(name, args, kind == JobKind::Update, options);
    if (parsed.kind != ParsedLine::Kind::Go) {
        return finishCommandLine(parsed, name, out, err);
    }
    if (!options.progressGiven) {
        const bool terminal = &err == &std::cerr && standardErrorIsTerminal();
        options.progress = terminal ? ProgressMode::Bar : ProgressMode::Plain;
    }

    const int previousLogLevel = LogLevel;
    if (options.log) {
        LogLevel = kTrafficLogLevel;
        // Told once, whatever the number of ports and lines; the run goes on without the log.
        setTrafficLogProblemHandler([&err](const TrafficLogProblem& problem) {
            err << "korvane-fw: " << trafficLogProblemText(problem) << "\n";
            err.flush();
        });
    }
    SignalInterrupt interrupt;
    const int autoStatus =
        resolveAutoPort(options, options.autoPort ? listSerialPorts() : std::vector<std::string>{},
                        defaultChannelFactory(), err, interrupt);
    if (autoStatus >= 0) {
        LogLevel = previousLogLevel;
        setTrafficLogProblemHandler(nullptr);
        return autoStatus;
    }
    // One adapter named by --port, --serial or --tcp: its texts as they come, unprefixed.
    ProgressDisplay progress(options.progress, err);
    SingleAdapterOutput single(out, progress);
    std::unique_ptr<BatchOutput> several;
    if (options.batch || options.progress == ProgressMode::Json) {
        several = makeBatchOutput(options, out, err);
    }
    // The record of every run, unless turned off. A record that cannot be stored is told once on
    // standard error; the run goes on.
    std::mutex warningMutex;
    std::optional<HistoryLog> history;
    if (options.history && !historyOffByEnvironment()) {
        history.emplace(defaultHistoryFolder(), options.batch ? "cli-batch" : "cli",
                        [&err, &warningMutex](const std::string& text) {
                            std::lock_guard<std::mutex> hold(warningMutex);
                            err << "korvane-fw: warning: " << text << "\n";
                            err.flush();
                        });
    }
    const BatchRequest request{kind, options.ports, options.file, history ? &*history : nullptr};
    const int status = runBatch(request, several ? *several : single, interrupt).exitStatus;
    LogLevel = previousLogLevel;
    setTrafficLogProblemHandler(nullptr);
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
