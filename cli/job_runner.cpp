#include "cli/job_runner.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <ostream>
#include <string>

#include "channel/worker_thread.h"
#include "cli/cli.h"

namespace korvane {

namespace {

// How often the waiting thread looks at the interrupt flag. A signal handler may not touch a
// condition variable, so the flag is looked at between bounded waits for the worker's end.
constexpr auto kInterruptCheck = std::chrono::milliseconds(50);

// What the sink needs and what it learns. Used by one thread at a time: this one during
// openPort, the worker afterwards; the worker is joined before the results are read.
struct RunState {
    std::ostream* out;
    ProgressDisplay* progress;
};

void writeReport(void* userData, int kind, std::intptr_t value) {
    RunState& state = *static_cast<RunState*>(userData);
    if (kind == kReportText) {
        const char* text = reinterpret_cast<const char*>(value);
        if (text == nullptr) {
            return;
        }
        const std::size_t length = std::strlen(text);
        state.progress->beforeText();
        printReportText(*state.out, text);
        state.out->flush();
        state.progress->afterText(length > 0 && text[length - 1] == '\n');
    } else if (kind == kReportProgress) {
        state.progress->show(static_cast<int>(value));
    }
}

// Set by the worker as its last step; waited for by the thread that started it.
class Completion {
public:
    void markDone() {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            done_ = true;
        }
        changed_.notify_all();
    }
    bool waitFor(std::chrono::milliseconds span) {
        std::unique_lock<std::mutex> hold(mutex_);
        return changed_.wait_for(hold, span, [this] { return done_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
};

}  // namespace

int runJob(UpdateJob& job, JobKind kind, const JobOptions& options, ProgressDisplay& progress,
           std::ostream& out, InterruptSource& interrupt) {
    RunState state{&out, &progress};
    job.setReportSink(&state, writeReport);

    const std::string path = kind == JobKind::Update ? options.file : std::string();
    const int slot = job.openPort(options.descriptor, path);
    if (slot < 0 || interrupt.pending()) {
        job.releasePort(slot);
        progress.finish();
        job.setReportSink(nullptr, nullptr);
        return interrupt.pending() ? interrupt.exitStatus() : kExitFailed;
    }

    Completion completion;
    bool stopSent = false;
    JobOutcome outcome;
    {
        WorkerThread worker([&job, &completion, &outcome, kind, slot] {
            outcome = kind == JobKind::Update ? job.runUpdate(slot) : job.readVersions(slot);
            job.releasePort(slot);
            completion.markDone();
        });
        while (!completion.waitFor(kInterruptCheck)) {
            if (!stopSent && interrupt.pending()) {
                job.requestStop();
                stopSent = true;
            }
        }
    }
    progress.finish();
    // The sink's state lives on this stack frame only.
    job.setReportSink(nullptr, nullptr);

    if (stopSent || interrupt.pending()) {
        return interrupt.exitStatus();
    }
    return outcome.finished() ? kExitOk : kExitFailed;
}

}  // namespace korvane
