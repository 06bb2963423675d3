#pragma once

#include <iosfwd>

#include "cli/job_options.h"
#include "cli/progress_display.h"
#include "engine/update_job.h"

namespace korvane {

// Exit status after an interrupt: 128 + the signal's number, as shells report a process the
// signal ended; 130 for Ctrl-C (SIGINT).
inline constexpr int kExitSignalBase = 128;
inline constexpr int kExitInterrupted = 130;

enum class JobKind { Update, Read };

// Whether the user asked to stop (Ctrl-C). Read from the thread that waits for the work.
class InterruptSource {
public:
    virtual ~InterruptSource() = default;
    virtual bool pending() = 0;
    // The exit status once an interrupt came.
    virtual int exitStatus() { return kExitInterrupted; }
};

// Runs one update or version read-out on `job` the way the window does: setReportSink, openPort
// on this thread, the work and releasePort on a WorkerThread. Every text goes to `out` as it is
// reported (line ends as the terminal writes them), progress to `progress`. While the work runs,
// an interrupt sets the job's stop request; the download loops end before their next pair or
// record.
//
// Exit status: kExitOk when the job's outcome says finished; the interrupt's exitStatus() when one
// came, whatever happened after it; else kExitFailed.
int runJob(UpdateJob& job, JobKind kind, const JobOptions& options, ProgressDisplay& progress,
           std::ostream& out, InterruptSource& interrupt);

}  // namespace korvane
