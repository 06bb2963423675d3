#pragma once

#include <string>
#include <utility>

namespace korvane {

// How an update or a version read-out ended, as the job itself knows it. Front ends and checks
// decide success from this alone, never from the texts or progress values that were reported.
enum class JobResult {
    Finished,  // update: the download completed; read: at least one version text was reported
    Refused,   // the update ended before the adapter was put into download mode
    Failed,    // the update failed after download mode was entered (or a read got no answer)
    Stopped,   // the stop request ended the job
};

struct JobOutcome {
    JobOutcome() = default;
    JobOutcome(JobResult result, std::string failureText, std::string reasonText = {})
        : result(result), failureText(std::move(failureText)), reasonText(std::move(reasonText)) {}

    JobResult result = JobResult::Failed;
    // The first failure or refusal text the job reported, exactly as reported ("\r\n" kept);
    // empty when the job finished, or when it ended without a text of its own (a read-out that
    // got no answer, a slot that holds no port).
    std::string failureText;
    // The reason line told right after that failure text (two blanks first, "\r\n" last), or
    // empty when none was.
    std::string reasonText;

    bool finished() const { return result == JobResult::Finished; }
};

// "finished", "refused", "failed", "stopped".
const char* jobResultName(JobResult result);

}  // namespace korvane
