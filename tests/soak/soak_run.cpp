#include "tests/soak/soak_run.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "channel/channel_factory.h"
#include "engine/report_sink.h"
#include "engine/update_job.h"
#include "sim/adapter/adapter_server.h"
#include "sim/adapter/firmware_image.h"
#include "sim/update_file_writer.h"
#include "tests/soak/budget_channel.h"
#include "tests/support/outcome_text.h"

namespace korvane::soak {

namespace {

// The flows wait without the channel: 2000 ms after a family-1 download, 200 ms before the
// family-2 finish is recovered.
constexpr int kFixedWaitsMs = 2000 + 200;
// One construction attempt: a TCP connect may take its whole connect time (3000 ms).
constexpr int kConstructionAllowanceMs = 3000 + 1000;
constexpr int kWatchPeriodMs = 50;

constexpr const char* kVerdictNames[kVerdicts] = {
    "success",          "failure", "FALSE SUCCESS", "STORED TWICE", "BAD ENDING",
    "CLEAN RUN FAILED", "HANG",    "setup error",   "stopped",      "STRANDED",
};

// The reason line of a run stopped before download mode.
constexpr const char* kLeftAsItWas = "stopped before the adapter was put into download mode";

bool entersDownloadMode(const std::string& command) {
    return command == "QXUPDT03" || command.rfind("QXDLZNB", 0) == 0 || command == "QX DLBD 02";
}

// Everything the job's thread touches, kept alive by whoever holds it last (the detached thread
// of a hung run included).
struct RunState : JobReports {
    explicit RunState(ChannelFactory factory) : job(std::move(factory)) {}

    void onText(const char* text) override {
        std::lock_guard<std::mutex> hold(mutex);
        output += text;
    }
    void onProgress(int) override {}

    UpdateJob job;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::string output;
    JobOutcome outcome;  // what runUpdate gave back
};

bool hasDuplicates(std::vector<std::string> entries) {
    std::sort(entries.begin(), entries.end());
    return std::adjacent_find(entries.begin(), entries.end()) != entries.end();
}

}  // namespace

const char* verdictName(Verdict verdict) {
    return kVerdictNames[static_cast<int>(verdict)];
}

bool isViolation(Verdict verdict) {
    return verdict != Verdict::Success && verdict != Verdict::Failure &&
           verdict != Verdict::Stopped;
}

RunOutcome runPlan(const RunPlan& plan, const SoakOptions& options) {
    RunOutcome outcome;
    outcome.plan = plan;

    const sim::GeneratedUpdateFile file = sim::makeUpdateFile(plan.recipe);
    const std::string path =
        options.workDir + "/korvane-soak-" + std::to_string(plan.seed) + ".hex";
    if (!file.ok() || !sim::saveUpdateFile(path, file)) {
        outcome.detail = "cannot write the update file: " + file.error;
        return outcome;
    }

    sim::ServerOptions serverOptions;
    serverOptions.link =
        plan.link == LinkKind::Tcp ? sim::ServerOptions::Link::Tcp : sim::ServerOptions::Link::Pty;
    serverOptions.tcpAddress = "127.0.0.1";
    serverOptions.tcpPort = 0;
    auto server = std::make_shared<sim::AdapterServer>(plan.adapter, serverOptions);
    std::string error;
    if (!server->start(&error)) {
        outcome.detail = "cannot start the emulated adapter: " + error;
        std::remove(path.c_str());
        return outcome;
    }
    const std::string descriptor = server->hostDescriptor(115200);

    auto budget = std::make_shared<RunBudget>();
    auto state = std::make_shared<RunState>(
        budgetedFactory(defaultChannelFactory(), budget, kConstructionAllowanceMs));
    budget->setTracing(options.trace);
    state->job.setReports(state.get());

    const auto start = std::chrono::steady_clock::now();
    std::thread worker([state, server, descriptor, path] {
        const int slot = state->job.openPort(descriptor, path);
        JobOutcome outcome;
        if (slot >= 0) {
            outcome = state->job.runUpdate(slot);
            state->job.releasePort(slot);
        } else if (state->job.stopRequested()) {
            outcome.result = JobResult::Stopped;  // stopped while the port was being opened
        }
        std::lock_guard<std::mutex> hold(state->mutex);
        state->outcome = outcome;
        state->done = true;
        state->finished.notify_all();
    });

    // The watchdog: no call past its own timeout, no waiting outside the channel beyond the
    // flows' fixed waits.
    bool hung = false;
    bool stopSent = false;
    {
        std::unique_lock<std::mutex> hold(state->mutex);
        while (!state->done) {
            auto wait = std::chrono::milliseconds(kWatchPeriodMs);
            if (plan.stopAfterMs >= 0 && !stopSent) {
                const auto stopAt = start + std::chrono::milliseconds(plan.stopAfterMs);
                const auto now = std::chrono::steady_clock::now();
                if (now >= stopAt) {
                    state->job.requestStop();
                    stopSent = true;
                } else {
                    wait = std::min(
                        wait, std::chrono::duration_cast<std::chrono::milliseconds>(stopAt - now) +
                                  std::chrono::milliseconds(1));
                }
            }
            state->finished.wait_for(hold, wait);
            if (!state->done &&
                budget->overrun(kFixedWaitsMs, options.hangMarginMs, outcome.detail)) {
                hung = true;
                break;
            }
        }
        outcome.output = state->output;
    }
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.allowedSeconds =
        static_cast<double>(budget->allowedMs() + kFixedWaitsMs + options.hangMarginMs) / 1000.0;
    if (hung) {
        outcome.verdict = Verdict::Hang;
        outcome.detail += "; " + budget->lastCall();
        outcome.lastLine = test::lastLineOf(outcome.output);
        worker.detach();  // holds `state` and `server`; the process ends soon after
        return outcome;
    }
    worker.join();

    outcome.status = server->status();
    const sim::FirmwareImage image = server->image();
    outcome.imageHasDuplicates = hasDuplicates(image.entries);
    for (const sim::ReceivedCommand& c : server->commands()) {
        outcome.heardDownloadMode = outcome.heardDownloadMode || entersDownloadMode(c.text);
    }
    if (options.trace) {
        outcome.hostTrace = budget->trace();
        for (const sim::ReceivedCommand& c : server->commands()) {
            char at[32];
            std::snprintf(at, sizeof at, "+%.3f s #%d ", static_cast<double>(c.timeNs) / 1e9,
                          c.number);
            outcome.commandLog.push_back(at + c.text.substr(0, 60));
        }
    }
    const std::string payload = sim::payloadBytes(image);
    server->stop();
    std::remove(path.c_str());

    {
        std::lock_guard<std::mutex> hold(state->mutex);
        outcome.jobResult = state->outcome.result;
        outcome.failureText = state->outcome.failureText;
        outcome.finished = state->outcome.finished();
    }
    outcome.imageComplete = payload == std::string(file.image.begin(), file.image.end());
    outcome.adapterCompleted = outcome.status.update == sim::UpdateStatus::Completed;
    outcome.lastLine = test::lastLineOf(outcome.output);

    bool clean = true;
    bool contractBroken = false;
    for (FaultKind kind : plan.faults) {
        clean = clean && kind == FaultKind::WireTime;
        contractBroken = contractBroken || breaksAdapterContract(kind);
    }
    // The file's lines and records are all different (sequence numbers, random payload), so an
    // entry the adapter holds twice is a command it acted on twice.
    const bool fileHasDuplicates = hasDuplicates(file.lines);
    if (outcome.finished && outcome.imageComplete && outcome.adapterCompleted) {
        outcome.verdict = Verdict::Success;
    } else if (outcome.finished) {
        outcome.verdict = contractBroken && outcome.imageHasDuplicates && !fileHasDuplicates
                              ? Verdict::StoredTwice
                              : Verdict::FalseSuccess;
    } else if (outcome.jobResult == JobResult::Stopped) {
        // Stopped before download mode means the adapter is untouched.
        const bool saysUntouched = outcome.output.find(kLeftAsItWas) != std::string::npos;
        outcome.verdict =
            saysUntouched && outcome.heardDownloadMode ? Verdict::Stranded : Verdict::Stopped;
    } else if (outcome.failureText.empty() || !test::isFailureOrRefusalLine(outcome.lastLine)) {
        outcome.verdict = Verdict::BadEnding;
    } else if (clean) {
        outcome.verdict = Verdict::CleanFailed;
    } else {
        outcome.verdict = Verdict::Failure;
    }
    return outcome;
}

}  // namespace korvane::soak
