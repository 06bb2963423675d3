// korvane-fw history [--json] [--limit N] [--port P] [--outcome O]: the update history, newest
// first, as a table or as the stored records.
#include <memory>
#include <ostream>

#include "channel/port_descriptor.h"
#include "cli/command_line.h"
#include "cli/job_commands.h"
#include "history/history_reader.h"
#include "history/history_recorder.h"
#include "history/history_table.h"

namespace korvane {

namespace {

bool knownOutcome(const std::string& outcome) {
    for (const char* known : kHistoryOutcomes) {
        if (outcome == known) {
            return true;
        }
    }
    return false;
}

}  // namespace

int runHistoryCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    const std::unique_ptr<CLI::App> app = makeCommandApp("history");
    bool json = false;
    std::vector<std::string> limit;
    std::vector<std::string> port;
    std::vector<std::string> outcome;
    app->add_flag("--json", json, "Print the stored records, one JSON object a line");
    singleValued(app->add_option("--limit", limit, "Only the newest N records"))->type_name("N");
    singleValued(app->add_option("--port", port,
                                 "Only the records of this port: a descriptor or the port alone "
                                 "(/dev/ttyUSB0, 127.0.0.1:35000)"))
        ->type_name("P");
    singleValued(app->add_option("--outcome", outcome,
                                 "Only the records that ended so: finished, refused, failed, "
                                 "stopped or interrupted"))
        ->type_name("O");
    app->footer(
        "\nEvery update and read-out is recorded: when, from which front end, the port, the "
        "adapter's model and versions before and after, the update file with its SHA-256, and the "
        "outcome. An update that never ended (the program was killed, the machine lost power) "
        "shows as interrupted. The records are kept in "
        "$XDG_STATE_HOME/korvane-updater/history.jsonl (default ~/.local/state/korvane-updater) "
        "on Linux and "
        "%LOCALAPPDATA%\\KorvaneFwUpdater\\history.jsonl on Windows; --no-history or "
        "KORVANE_NO_HISTORY=1 turns recording off.");
    const ParsedLine parsed = parseCommandLine(*app, args);
    if (parsed.kind != ParsedLine::Kind::Go) {
        return finishCommandLine(parsed, "history", out, err);
    }
    HistoryFilter filter;
    if (!limit.empty()) {
        int value = 0;
        if (!parseDecimalInRange(limit[0], 1, 1000000000, value)) {
            return usageError("history", "--limit must be a whole number from 1", err);
        }
        filter.limit = static_cast<std::size_t>(value);
    }
    if (!port.empty()) {
        filter.port = port[0];
    }
    if (!outcome.empty()) {
        if (!knownOutcome(outcome[0])) {
            return usageError("history",
                              "--outcome must be finished, refused, failed, stopped or interrupted",
                              err);
        }
        filter.outcome = outcome[0];
    }

    const std::string folder = defaultHistoryFolder();
    const HistoryReadout readout = readHistory(folder, filter);
    for (const std::string& warning : readout.warnings) {
        err << "korvane-fw: warning: update history: " << warning << "\n";
    }
    if (!readout.status.done()) {
        err << "korvane-fw: " << historyProblemText(readout.status) << "\n";
        return kExitFailed;
    }
    if (json) {
        for (const HistoryRecord& record : readout.records) {
            out << historyJson(record) << "\n";
        }
        return kExitOk;
    }
    if (readout.records.empty()) {
        err << "no records in " << historyPath(folder, kHistoryFileName) << "\n";
        return kExitOk;
    }
    out << historyTableText(readout.records);
    return kExitOk;
}

}  // namespace korvane
