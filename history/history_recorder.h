#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "engine/run_observer.h"
#include "history/history_files.h"
#include "history/history_record.h"

namespace korvane {

// Where one program's records go: the history folder and the front end that makes them, shared
// by all its jobs (appends from several threads and programs never interleave: the file lock
// orders them). A record that cannot be stored costs one warning, told through `warning` (once
// until a record is stored again), and never the run.
class HistoryLog {
public:
    using Warning = std::function<void(const std::string&)>;

    HistoryLog(std::string folder, std::string frontEnd, Warning warning);

    // Stores `record` as one line, flushed to disk; false (after the warning) when it could not.
    bool append(const HistoryRecord& record);

    const std::string& folder() const { return folder_; }
    const std::string& frontEnd() const { return frontEnd_; }

private:
    std::string folder_;
    std::string frontEnd_;
    Warning warning_;
    std::mutex mutex_;
    bool warned_ = false;
};

// The words of a warning about a history file that could not be used, without a line end.
std::string historyProblemText(const HistoryFileStatus& status);

// True when KORVANE_NO_HISTORY=1 turns the history off.
bool historyOffByEnvironment();

// Records the runs of one job into a HistoryLog: set as the job's RunObserver. A run's start line
// is stored when the adapter is about to be asked into download mode, its end line when the run
// ends; a run that never reached download mode (a read-out, a refusal) has its end line alone.
class HistoryRecorder : public RunObserver {
public:
    explicit HistoryRecorder(HistoryLog& log);

    void runStarted(const RunFacts& facts) override;
    void fileLoaded(const std::vector<std::uint8_t>& bytes) override;
    void changeAhead(const RunFacts& facts) override;
    void runEnded(const RunFacts& facts, const JobOutcome& outcome) override;

    // The record of the last run that ended (stored or not), for a window that shows its own.
    std::optional<HistoryRecord> lastRecord() const;

private:
    void fill(const RunFacts& facts);

    HistoryLog& log_;
    HistoryRecord record_;  // the run under way; used by the job's thread alone
    mutable std::mutex lastMutex_;
    std::optional<HistoryRecord> last_;
};

}  // namespace korvane
