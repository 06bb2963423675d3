#pragma once

#include <string>
#include <utility>

#include "engine/adapter_state.h"

namespace korvane {

// How an update or a version read-out ended, as the job itself knows it. Front ends and checks
// decide success from this alone, never from the texts or progress values that were reported.
enum class JobResult {
    Finished,  // update: the download completed; read: at least one version text was reported
    // The update ended before the adapter took a download-mode command: none was sent, or the
    // adapter's answer refused each one. The adapter is untouched.
    Refused,
    // The update failed after the adapter took (or may have taken) a download-mode command, or a
    // read got no answer.
    Failed,
    Stopped,  // the stop request ended the job
};

struct JobOutcome {
    JobOutcome() = default;
    JobOutcome(JobResult result, std::string failureText, std::string reasonText = {},
               AdapterState adapter = AdapterState::Untouched)
        : result(result),
          failureText(std::move(failureText)),
          reasonText(std::move(reasonText)),
          adapter(adapter) {}

    JobResult result = JobResult::Failed;
    // The first failure or refusal text the job reported, exactly as reported ("\r\n" kept);
    // empty when the job finished, or when it ended without a text of its own (a read-out that
    // got no answer, a slot that holds no port).
    std::string failureText;
    // The reason line told after that failure's group of texts (two blanks first, "\r\n" last),
    // or empty when none was.
    std::string reasonText;
    // What the run left the adapter in.
    AdapterState adapter = AdapterState::Untouched;

    bool finished() const { return result == JobResult::Finished; }
};

// "finished", "refused", "failed", "stopped".
const char* jobResultName(JobResult result);

}  // namespace korvane
