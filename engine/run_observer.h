#pragma once

#include <cstdint>
#include <vector>

#include "engine/job_outcome.h"
#include "engine/run_facts.h"

namespace korvane {

// Told by an UpdateJob how each of its runs goes, on the thread that runs it: for a record of
// every update and read-out. An observer keeps the job's pace: whatever it cannot do costs it a
// warning of its own, never the run.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // A run begins (or a port could not be opened for one, which ends it at once).
    virtual void runStarted(const RunFacts& facts) = 0;
    // The update file was loaded whole: its bytes, before any check of them.
    virtual void fileLoaded(const std::vector<std::uint8_t>& bytes) = 0;
    // The next command may change the adapter: it is about to be asked into download mode. Told
    // once per run, before that command is sent.
    virtual void changeAhead(const RunFacts& facts) = 0;
    // The run ended as `outcome` says, after its last command and before the job reports its end.
    virtual void runEnded(const RunFacts& facts, const JobOutcome& outcome) = 0;
};

}  // namespace korvane
