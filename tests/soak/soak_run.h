#pragma once

// One soak run: a fresh emulated adapter served over TCP or a pty, a fresh update file, and the
// whole update through UpdateJob (openPort, runUpdate, releasePort) on a worker thread, watched
// by a watchdog that allows the updater exactly the sum of its own deadlines plus a margin.

#include <string>
#include <vector>

#include "engine/job_outcome.h"
#include "sim/adapter/adapter_state.h"
#include "tests/soak/soak_plan.h"

namespace korvane::soak {

struct SoakOptions {
    std::string workDir = "/tmp";  // where the run's update file is written
    int hangMarginMs = 5000;       // beyond the booked budget and the flows' fixed waits
    bool trace = false;            // keep the adapter's command log in the outcome
};

enum class Verdict {
    Success,       // the outcome says finished and the adapter holds the payload, closed
    Failure,       // no success, with a failure text in the outcome and as the last line
    FalseSuccess,  // the outcome says finished but the adapter does not hold the payload
    // Finished with a wrong image in a run whose adapter broke its side of the protocol (late,
    // stalled or flooded answers), and the adapter holds some line or record twice: it acted on
    // a command whose answer the updater never saw, and again on the resend. A false success of
    // its own kind, shown apart.
    StoredTwice,
    // No success, and the outcome holds no failure text or the last line is neither a failure nor
    // a refusal text: the user was not told how it ended.
    BadEnding,
    CleanFailed,  // a run without faults that did not succeed
    Hang,         // the run outlived its own deadlines
    SetupError,   // the adapter or the file could not be set up (not the updater's fault)
    Stopped,      // the stop request ended the run, and it says where it left the adapter
    // Stopped with the adapter said to be left as it was, although it heard a download-mode
    // command.
    Stranded,
};
inline constexpr int kVerdicts = 10;
const char* verdictName(Verdict verdict);
// Whether the verdict breaks a property of the soak.
bool isViolation(Verdict verdict);

struct RunOutcome {
    RunPlan plan;
    Verdict verdict = Verdict::SetupError;
    bool finished = false;  // the job's outcome says finished
    JobResult jobResult = JobResult::Failed;
    std::string failureText;          // the outcome's first failure text
    bool imageComplete = false;       // the adapter's firmware bytes equal the file's payload
    bool adapterCompleted = false;    // the adapter saw its download closed
    bool imageHasDuplicates = false;  // the adapter holds some line or record twice
    bool heardDownloadMode = false;   // the adapter heard a command that enters download mode
    std::string output;               // every text the updater reported, in order
    std::string lastLine;             // the last line of that output
    double seconds = 0.0;
    double allowedSeconds = 0.0;  // what the watchdog allowed by the end
    std::string detail;           // hang: the call in progress; setup error: why
    sim::AdapterStatus status;
    // The adapter's command log ("+12.345 s #7 QXBL..."), kept when SoakOptions::trace is set.
    std::vector<std::string> commandLog;
    std::string hostTrace;  // what the updater wrote and read (trace only)
};

// Runs the plan. On a hang the worker thread is left running (detached, with everything it uses
// kept alive) and the outcome says Hang; the caller should end the process soon after.
RunOutcome runPlan(const RunPlan& plan, const SoakOptions& options);

}  // namespace korvane::soak
