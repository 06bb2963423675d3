#include "cli/batch_runner.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>

#include "cli/port_label.h"
#include "cli/report_lines.h"
#include "engine/failure_reason.h"
#include "platform/worker_thread.h"

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

// How often the waiting thread looks at the interrupt flag. A signal handler may not touch a
// condition variable, so the flag is looked at between bounded waits for the workers' end.
constexpr auto kInterruptCheck = std::chrono::milliseconds(50);

// Counts the workers still running; each one's last step counts itself out.
class Countdown {
public:
    explicit Countdown(std::size_t count) : remaining_(count) {}
    void countOut() {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            --remaining_;
        }
        changed_.notify_all();
    }
    bool waitFor(std::chrono::milliseconds span) {
        std::unique_lock<std::mutex> hold(mutex_);
        return changed_.wait_for(hold, span, [this] { return remaining_ == 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t remaining_;
};

// One adapter's part of the run, and where its job reports. Its report fields are used only by
// its worker thread; the main thread reads `result` after the worker has been joined.
struct AdapterRun : JobReports {
    std::size_t index = 0;
    BatchOutput* output = nullptr;
    std::unique_ptr<UpdateJob> job;
    std::unique_ptr<HistoryRecorder> recorder;
    ReportLines lines;
    // The first line reported while the port was being opened: when it could not be opened, the
    // reason.
    std::string openingLine;
    // The first reason line (what went wrong and what to try), without its indent.
    std::string firstReason;
    AdapterResult result;

    void noteLine(std::string_view line) {
        if (line.substr(0, std::strlen(kReasonIndent)) == kReasonIndent) {
            if (firstReason.empty()) {
                firstReason = line.substr(std::strlen(kReasonIndent));
            }
        } else if (openingLine.empty()) {
            openingLine = line;
        }
    }
    void onText(const char* text) override {
        output->text(index, text);
        lines.add(text, [this](std::string_view line) { noteLine(line); });
    }
    void onProgress(int percent) override { output->progress(index, percent); }
};

// A failure text as the table shows it: its first line, without the line end.
std::string firstLineOf(const std::string& text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

// Turns the adapter's job result into its outcome and tells the output that the adapter is done.
void finishAdapter(AdapterRun& run, Clock::time_point start) {
    AdapterResult& result = run.result;
    run.lines.flush([&run](std::string_view line) { run.noteLine(line); });
    if (result.jobResult != JobResult::Finished) {
        result.reason = run.firstReason;
    }

    switch (result.jobResult) {
        case JobResult::Finished:
            result.outcome = AdapterOutcome::Finished;
            result.message.clear();
            break;
        case JobResult::Stopped:
            result.outcome = AdapterOutcome::CutShort;
            break;
        case JobResult::Refused:
        case JobResult::Failed:
            result.outcome = AdapterOutcome::Failed;
            break;
    }
    result.duration = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    run.output->adapterDone(run.index, result);
}

// `file`: the update's file, loaded and checked once for every adapter; none for a read-out.
void runAdapter(AdapterRun& run, const BatchRequest& request, const PreparedUpdateFile* file) {
    const Clock::time_point start = Clock::now();
    UpdateJob& job = *run.job;
    const bool update = request.kind == JobKind::Update;
    const std::string path = update ? request.file : std::string();
    AdapterResult& result = run.result;
    if (file != nullptr && !file->sound()) {
        // Told once for all; the port is not opened.
        const JobOutcome outcome =
            job.noteFileRefusal(request.ports[run.index].request, path, *file);
        result.jobResult = outcome.result;
        result.message = firstLineOf(outcome.failureText);
        run.noteLine(firstLineOf(outcome.reasonText));
        finishAdapter(run, start);
        return;
    }
    const int slot = job.openPort(request.ports[run.index].request, path);
    if (slot < 0 && job.stopRequested()) {
        // Stopped while the port was being opened: nothing reached the adapter.
        result.jobResult = JobResult::Stopped;
    } else if (slot < 0) {
        // Nothing reached the adapter. The port's own failure text says why.
        run.lines.flush([&run](std::string_view line) { run.noteLine(line); });
        result.jobResult = update ? JobResult::Refused : JobResult::Failed;
        result.message = run.openingLine;
    } else if (job.stopRequested()) {
        // An interrupt that came while the port was being opened: the adapter is left as it was.
        job.releasePort(slot);
        if (update) {
            job.reportText(stoppedBeforeDownloadReason().c_str());
        }
        result.jobResult = JobResult::Stopped;
    } else {
        const JobOutcome outcome = job.run(slot, request.kind, file);
        job.releasePort(slot);
        result.jobResult = outcome.result;
        result.adapter = outcome.adapter;
        result.message = firstLineOf(outcome.failureText);
        if (result.message.empty() && outcome.result == JobResult::Failed) {
            result.message = "no answer from the adapter";
        }
    }
    finishAdapter(run, start);
}

}  // namespace

int batchExitStatus(const std::vector<AdapterResult>& results, bool interrupted,
                    int interruptedStatus) {
    bool allFinished = true;
    bool cutShort = false;
    for (const AdapterResult& result : results) {
        allFinished = allFinished && result.outcome == AdapterOutcome::Finished;
        cutShort = cutShort || result.outcome == AdapterOutcome::CutShort;
    }
    // An interrupt that cut no adapter short (it came after the last one had ended, or in the
    // wait after a download) changes nothing: the status is the updates' own.
    if (interrupted && (cutShort || results.empty())) {
        return interruptedStatus;
    }
    return allFinished ? kExitOk : kExitFailed;
}

BatchRun runBatch(const BatchRequest& request, BatchOutput& output, InterruptSource& interrupt,
                  const JobMaker& makeJob) {
    const std::size_t count = request.ports.size();
    std::optional<PreparedUpdateFile> file;
    if (request.kind == JobKind::Update) {
        file = prepareUpdateFile(request.file);
        if (!file->sound()) {
            output.sharedText(file->failureText.c_str());
            output.sharedText(file->reasonLine.c_str());
        }
    }
    std::vector<std::unique_ptr<AdapterRun>> runs;
    runs.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto run = std::make_unique<AdapterRun>();
        run->index = i;
        run->output = &output;
        run->job = makeJob ? makeJob() : std::make_unique<UpdateJob>();
        run->result.descriptor = request.ports[i].descriptor;
        run->result.label = portLabel(request.ports[i]);
        // Before any worker starts: setReports clears the stop request.
        run->job->setReports(run.get());
        if (request.history != nullptr) {
            run->recorder = std::make_unique<HistoryRecorder>(*request.history);
            run->job->setRunObserver(run->recorder.get());
        }
        runs.push_back(std::move(run));
    }

    Countdown countdown(count);
    bool stopSent = false;
    {
        std::vector<std::unique_ptr<WorkerThread>> workers;
        workers.reserve(count);
        for (auto& run : runs) {
            AdapterRun* adapter = run.get();
            const PreparedUpdateFile* shared = file ? &*file : nullptr;
            workers.push_back(
                std::make_unique<WorkerThread>([adapter, &request, shared, &countdown] {
                    runAdapter(*adapter, request, shared);
                    countdown.countOut();
                }));
        }
        while (!countdown.waitFor(kInterruptCheck)) {
            if (!stopSent && interrupt.pending()) {
                for (auto& run : runs) {
                    run->job->requestStop();
                }
                stopSent = true;
            }
        }
    }  // every worker joined

    BatchRun batch;
    batch.interrupted = stopSent || interrupt.pending();
    for (auto& run : runs) {
        // The reports' state goes with this frame.
        run->job->setReports(nullptr);
        run->job->setRunObserver(nullptr);
        batch.results.push_back(run->result);
    }
    batch.exitStatus = batchExitStatus(batch.results, batch.interrupted, interrupt.exitStatus());
    output.batchDone(batch.results, batch.exitStatus);
    return batch;
}

}  // namespace korvane
