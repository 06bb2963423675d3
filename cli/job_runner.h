#pragma once

#include <cstdio>

#include "cli/job_options.h"
#include "cli/progress_display.h"
#include "engine/update_job.h"

namespace korvane::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

enum class JobKind { Update, Read };

// Whether the user asked to stop (Ctrl-C). Read from the waiting thread only.
class InterruptSource {
  public:
    virtual ~InterruptSource() = default;
    virtual bool pending() = 0;
};

// Runs one update or version read-out on `job` the way the window does: setReportSink, openPort
// on this thread, the work and releasePort on a WorkerThread. Every text goes to `out` as it is
// reported, progress to `progress`. While the work runs, an interrupt sets the job's stop request
// (the download loops end before their next pair or record).
//
// Exit status: kExitSuccess when an update reached progress 100 or a read reported at least one
// text; kExitInterrupted when an interrupt came, whatever happened after it; else kExitFailure.
int runJob(UpdateJob& job, JobKind kind, const JobOptions& options, ProgressDisplay& progress,
           std::FILE* out, InterruptSource& interrupt);

}  // namespace korvane::cli
