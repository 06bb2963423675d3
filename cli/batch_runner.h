#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/batch_output.h"
#include "cli/cli.h"
#include "cli/interrupt_source.h"
#include "cli/port_label.h"
#include "engine/update_job.h"
#include "history/history_recorder.h"

namespace korvane {

// One update or read-out on one adapter or on several at once.
struct BatchRequest {
    JobKind kind = JobKind::Update;
    std::vector<JobPort> ports;
    std::string file;  // update only
    // Where each adapter's run is recorded; none: not recorded.
    HistoryLog* history = nullptr;
};

struct BatchRun {
    std::vector<AdapterResult> results;  // in the order of the ports
    bool interrupted = false;
    int exitStatus = kExitFailed;
};

// Makes the job of one adapter; tests hand in jobs with their own channels.
using JobMaker = std::function<std::unique_ptr<UpdateJob>()>;

// The one runner of `update` and `read`, whatever the number of adapters (one adapter is a batch
// of one; its output decides how it looks). Runs every adapter side by side, each with an UpdateJob
// of its own on a WorkerThread of its own. The worker opens the port too (openPort may take seconds
// for an adapter that does not answer, and the others should not wait for it), then runs the update
// or read-out and releases the port. Each job's reports go to `output` tagged with the adapter's
// number.
//
// An update loads and checks its file once, before any port is opened, and every adapter's job
// sends that one copy. A file refused is told once (sharedText), and each adapter ends refused
// with the file's failure text without its port being opened.
//
// An interrupt sets the stop request of every job: downloads end before their next pair or
// record, and an adapter whose port was still being opened is not started. Those that did not
// finish are reported cut short.
//
// Exit status: the interrupt's exitStatus() after one that cut an adapter short; else kExitOk when
// every adapter finished; else kExitFailed.
BatchRun runBatch(const BatchRequest& request, BatchOutput& output, InterruptSource& interrupt,
                  const JobMaker& makeJob = {});

// The exit status that `results` call for.
int batchExitStatus(const std::vector<AdapterResult>& results, bool interrupted,
                    int interruptedStatus = kExitInterrupted);

}  // namespace korvane
