#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/job_outcome.h"

namespace korvane {

// How one adapter's job ended.
enum class AdapterOutcome {
    Finished,  // the job's outcome said finished
    Failed,    // refused or failed
    CutShort,  // an interrupt stopped it before it finished
};

struct AdapterResult {
    std::string descriptor;  // as given on the command line
    std::string label;       // portLabel of the port
    AdapterOutcome outcome = AdapterOutcome::Failed;
    // The job's own outcome. A port that could not be opened counts as refused (update) or
    // failed (read): nothing reached the adapter.
    JobResult jobResult = JobResult::Failed;
    // What the run left the adapter in, from the job's outcome (untouched when the port could not
    // be opened).
    AdapterState adapter = AdapterState::Untouched;
    // Failed or cut short: the first failure or refusal text of the job's outcome (the port's
    // failure text when it could not be opened), its first line without the line end; "no answer
    // from the adapter" when a job failed without a text. Finished: empty.
    std::string message;
    // Failed or cut short: the first reason line the job reported (what went wrong and what to
    // try), without its indent and line end; empty when there was none.
    std::string reason;
    std::chrono::milliseconds duration{0};
};

// Where the reports of a run over several adapters go. Adapters are numbered 0.. in the order of
// their ports. `text` and `progress` come on each adapter's own worker thread, so an output is
// called from several threads at once and keeps its own lock; the reports of one adapter come in
// the order its job made them. `adapterDone` comes on the adapter's thread after its last report,
// `batchDone` once, after every adapter is done.
class BatchOutput {
public:
    virtual ~BatchOutput() = default;
    // A report text of the engine, exactly as reported ("\r\n" line ends; possibly a piece of a
    // line).
    virtual void text(std::size_t adapter, const char* text) = 0;
    virtual void progress(std::size_t adapter, int percent) = 0;
    // A report text that concerns every adapter, told once before any adapter starts: the refusal
    // of the update file, which a run loads and checks once for all its adapters.
    virtual void sharedText(const char* text) = 0;
    virtual void adapterDone(std::size_t adapter, const AdapterResult& result) = 0;
    virtual void batchDone(const std::vector<AdapterResult>& results, int exitStatus) = 0;
};

}  // namespace korvane
