// runBatch in-process, with scripted adapters and stand-in flows: how each adapter's end becomes
// its result, and what an interrupt does to adapters in each stage.
#include "cli/batch_runner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

#include "engine/failure_reason.h"
#include "sim/update_file_writer.h"
#include "tests/support/scripted_channel.h"

namespace korvane {
namespace {

using test::ScriptedChannelFactory;

// Records what the runner hands its output, from any thread.
class RecordingOutput : public BatchOutput {
public:
    void text(std::size_t adapter, const char* text) override {
        std::lock_guard<std::mutex> hold(mutex_);
        texts_[adapter] += text;
    }
    void progress(std::size_t adapter, int percent) override {
        std::lock_guard<std::mutex> hold(mutex_);
        progress_[adapter].push_back(percent);
    }
    void sharedText(const char* text) override {
        std::lock_guard<std::mutex> hold(mutex_);
        shared_ += text;
    }
    void adapterDone(std::size_t adapter, const AdapterResult& result) override {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            done_[adapter].push_back(result);
        }
        changed_.notify_all();
    }
    void batchDone(const std::vector<AdapterResult>& results, int exitStatus) override {
        std::lock_guard<std::mutex> hold(mutex_);
        ++batchDoneCalls_;
        batchResults_ = results;
        batchExit_ = exitStatus;
    }

    bool isDone(std::size_t adapter) {
        std::lock_guard<std::mutex> hold(mutex_);
        return done_.count(adapter) > 0;
    }
    std::string texts(std::size_t adapter) {
        std::lock_guard<std::mutex> hold(mutex_);
        return texts_[adapter];
    }
    std::vector<int> progress(std::size_t adapter) {
        std::lock_guard<std::mutex> hold(mutex_);
        return progress_[adapter];
    }
    std::size_t doneCalls(std::size_t adapter) {
        std::lock_guard<std::mutex> hold(mutex_);
        return done_[adapter].size();
    }
    std::string shared() {
        std::lock_guard<std::mutex> hold(mutex_);
        return shared_;
    }
    int batchDoneCalls() const { return batchDoneCalls_; }
    int batchExit() const { return batchExit_; }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::size_t, std::string> texts_;
    std::string shared_;
    std::map<std::size_t, std::vector<int>> progress_;
    std::map<std::size_t, std::vector<AdapterResult>> done_;
    int batchDoneCalls_ = 0;
    std::vector<AdapterResult> batchResults_;
    int batchExit_ = -1;
};

// Well-formed descriptors, as the command line reads them.
std::vector<JobPort> portsOf(std::initializer_list<const char*> descriptors) {
    std::vector<JobPort> ports;
    for (const char* descriptor : descriptors) {
        std::string error;
        ports.emplace_back();
        EXPECT_TRUE(parseJobPort(descriptor, ports.back(), error)) << error;
    }
    return ports;
}

class NeverInterrupted : public InterruptSource {
public:
    bool pending() override { return false; }
};

// A one-way gate between threads.
class Gate {
public:
    void open() {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }
    bool waitOpen(int timeoutMs) {
        std::unique_lock<std::mutex> hold(mutex_);
        return changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                 [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

class BatchRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::UpdateFileRecipe recipe;
        recipe.payload = sim::samplePayload(1000);
        const sim::GeneratedUpdateFile file = sim::makeUpdateFile(recipe);
        ASSERT_TRUE(file.ok()) << file.error;
        path_ = (std::filesystem::temp_directory_path() /
                 ("korvane-batch-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                    .string();
        ASSERT_TRUE(sim::saveUpdateFile(path_, file));
        // "COMX" is a port that does not open.
        channels_.setOpenRule([](const PortRequest& request) {
            const auto* serial = std::get_if<SerialPortRequest>(&request);
            return serial == nullptr || serial->name != "COMX";
        });
    }
    void TearDown() override { std::filesystem::remove(path_); }

    // Jobs on scripted channels whose line download is `flows[i]` for the i-th job made.
    JobMaker jobsWith(std::vector<std::function<int(FlowContext&)>> downloads) {
        auto made = std::make_shared<std::size_t>(0);
        return [this, downloads, made]() {
            JobFlows flows;
            const std::function<int(FlowContext&)> download = downloads[(*made)++];
            // A download gives 0 or more when it completed; a version report, 1 when reported.
            flows.lineDownload = [download](FlowContext& job, Channel&) {
                return FlowOutcome{download(job) >= 0 ? FlowResult::Completed : FlowResult::Failed,
                                   {}};
            };
            flows.deviceVersion = [download](FlowContext& job, Channel&, ModelCode) {
                return download(job) >= 1 ? VersionReportResult::Reported
                                          : VersionReportResult::NoVersionLetter;
            };
            flows.adapterVersion = [](FlowContext&, Channel&, ModelCode) {
                return VersionReportResult::NoVersionLetter;
            };
            return std::make_unique<UpdateJob>(channels_.factory(), flows);
        };
    }

    ScriptedChannelFactory channels_;
    std::string path_;
};

std::function<int(FlowContext&)> reports(std::vector<const char*> texts, int result) {
    return [texts, result](FlowContext& job) {
        for (const char* text : texts) {
            job.reportText(text);
        }
        return result;
    };
}

// A flow that reports `texts`, then `failures` as failure texts, having entered download mode
// first when `downloading`.
std::function<int(FlowContext&)> fails(std::vector<const char*> texts,
                                       std::vector<const char*> failures, bool downloading) {
    return [texts, failures, downloading](FlowContext& job) {
        if (downloading) {
            EXPECT_TRUE(job.enterDownloadMode({}));
        }
        for (const char* text : texts) {
            job.reportText(text);
        }
        for (const char* text : failures) {
            job.reportFailure(text);
        }
        return -1;
    };
}

TEST_F(BatchRunnerTest, EachAdapterEndsWithItsOwnResult) {
    RecordingOutput output;
    NeverInterrupted interrupt;
    const BatchRequest request{JobKind::Update,
                               portsOf({"com|COM1:115200", "com|COM2:115200", "com|COM3:115200",
                                        "com|COMX:115200", "com|COM5:115200"}),
                               path_};
    // The fifth adapter's texts hold the words of success, but its job did not finish.
    const BatchRun run = runBatch(
        request, output, interrupt,
        jobsWith({reports({"all well\r\n"}, 0),
                  fails({"step\r\n"}, {"**Failed** first!\r\n", "**Failed** then this!\r\n"}, true),
                  fails({}, {"There is no upgrade function for this product!\r\n"}, false),
                  reports({}, 0),
                  reports({"File download finished!\r\n", "**Failed** not marked!\r\n"}, -1)}));

    ASSERT_EQ(run.results.size(), 5u);
    EXPECT_EQ(run.results[0].outcome, AdapterOutcome::Finished);
    EXPECT_EQ(run.results[0].jobResult, JobResult::Finished);
    EXPECT_EQ(run.results[0].message, "");
    EXPECT_EQ(run.results[1].outcome, AdapterOutcome::Failed);
    EXPECT_EQ(run.results[1].jobResult, JobResult::Failed);
    EXPECT_EQ(run.results[1].message, "**Failed** first!");  // the cause, not what followed
    EXPECT_EQ(run.results[2].outcome, AdapterOutcome::Failed);
    EXPECT_EQ(run.results[2].jobResult, JobResult::Refused);
    EXPECT_EQ(run.results[2].message, "There is no upgrade function for this product!");
    EXPECT_EQ(run.results[3].outcome, AdapterOutcome::Failed);
    EXPECT_EQ(run.results[3].jobResult, JobResult::Refused);  // nothing reached the adapter
    EXPECT_EQ(run.results[3].message, "**Failed** Port connection error!");
    EXPECT_EQ(run.results[3].reason, "COMX: the port could not be opened.");
    EXPECT_EQ(run.results[3].label, "COMX");
    EXPECT_EQ(run.results[4].outcome, AdapterOutcome::Failed);
    EXPECT_EQ(run.results[4].jobResult, JobResult::Refused);
    EXPECT_EQ(run.results[4].message, "");  // no failure text of the job's own
    EXPECT_FALSE(run.interrupted);
    EXPECT_EQ(run.exitStatus, kExitFailed);

    EXPECT_EQ(output.texts(0), "Port is opened!\r\nall well\r\nFile download finished!\r\n");
    EXPECT_EQ(output.progress(0), (std::vector<int>{1, 2, 100}));
    EXPECT_EQ(output.texts(3),
              "**Failed** Port connection error!\r\n  COMX: the port could not be opened.\r\n");
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(output.doneCalls(i), 1u);
    }
    EXPECT_EQ(output.batchDoneCalls(), 1);
    EXPECT_EQ(output.batchExit(), kExitFailed);
    EXPECT_EQ(channels_.liveChannels(), 0);  // every port released
}

TEST_F(BatchRunnerTest, AllFinishedExitsWithZero) {
    RecordingOutput output;
    NeverInterrupted interrupt;
    const BatchRequest request{JobKind::Update, portsOf({"com|COM1:115200", "tcp|127.0.0.1:9"}),
                               path_};
    const BatchRun run =
        runBatch(request, output, interrupt, jobsWith({reports({}, 0), reports({}, 1)}));
    EXPECT_EQ(run.exitStatus, kExitOk);
    EXPECT_EQ(run.results[1].label, "127.0.0.1:9");
}

TEST_F(BatchRunnerTest, ReadFinishesWhenTheAdapterToldSomething) {
    RecordingOutput output;
    NeverInterrupted interrupt;
    const BatchRequest request{JobKind::Read, portsOf({"com|COM1:115200", "com|COM2:115200"}), ""};
    const BatchRun run =
        runBatch(request, output, interrupt,
                 jobsWith({reports({"device version:", "V2.2", "\r\n"}, 1), reports({}, -1)}));
    EXPECT_EQ(run.results[0].outcome, AdapterOutcome::Finished);
    EXPECT_EQ(run.results[1].outcome, AdapterOutcome::Failed);
    EXPECT_EQ(run.results[1].message, "no answer from the adapter");
    EXPECT_EQ(run.exitStatus, kExitFailed);
    EXPECT_EQ(output.texts(0), "Port is opened!\r\ndevice version:V2.2\r\n");
}

// A job whose openPort waits at a gate, as an unreachable adapter's takes seconds.
class HeldOpenJob : public UpdateJob {
public:
    HeldOpenJob(ChannelFactory factory, JobFlows flows, Gate& entered, Gate& release)
        : UpdateJob(std::move(factory), std::move(flows)), entered_(entered), release_(release) {}
    using UpdateJob::openPort;
    int openPort(const PortChoice& port, std::string_view path) override {
        entered_.open();
        release_.waitOpen(10000);
        return UpdateJob::openPort(port, path);
    }

private:
    Gate& entered_;
    Gate& release_;
};

// Ctrl-C comes while adapter 0 is still opening its port and after adapter 1 has finished:
// adapter 0 is never started, adapter 1 keeps its result, the run ends with 130.
TEST_F(BatchRunnerTest, InterruptWhileAPortOpensLeavesThatAdapterAlone) {
    Gate entered;
    Gate release;
    RecordingOutput output;
    std::vector<UpdateJob*> jobs;
    int flowsRun = 0;

    class InterruptAfterBoth : public InterruptSource {
    public:
        InterruptAfterBoth(Gate& entered, Gate& release, RecordingOutput& output,
                           std::vector<UpdateJob*>& jobs)
            : entered_(entered), release_(release), output_(output), jobs_(jobs) {}
        bool pending() override {
            if (!fired_ && entered_.waitOpen(0) && output_.isDone(1)) {
                // As the runner would: every job told to stop before the held port opens.
                for (UpdateJob* job : jobs_) {
                    job->requestStop();
                }
                release_.open();
                fired_ = true;
            }
            return fired_;
        }

    private:
        Gate& entered_;
        Gate& release_;
        RecordingOutput& output_;
        std::vector<UpdateJob*>& jobs_;
        bool fired_ = false;
    } interrupt(entered, release, output, jobs);

    JobFlows flows;
    flows.lineDownload = [&flowsRun](FlowContext& job, Channel&) {
        ++flowsRun;
        job.reportText("sent\r\n");
        return FlowOutcome{FlowResult::Completed, {}};
    };
    const JobMaker makeJob = [&, made = 0]() mutable -> std::unique_ptr<UpdateJob> {
        std::unique_ptr<UpdateJob> job;
        if (made++ == 0) {
            job = std::make_unique<HeldOpenJob>(channels_.factory(), flows, entered, release);
        } else {
            job = std::make_unique<UpdateJob>(channels_.factory(), flows);
        }
        jobs.push_back(job.get());
        return job;
    };
    const BatchRequest request{JobKind::Update, portsOf({"com|COM1:115200", "com|COM2:115200"}),
                               path_};
    const BatchRun run = runBatch(request, output, interrupt, makeJob);

    EXPECT_TRUE(run.interrupted);
    EXPECT_EQ(run.exitStatus, kExitInterrupted);
    EXPECT_EQ(run.results[0].outcome, AdapterOutcome::CutShort);
    EXPECT_EQ(run.results[1].outcome, AdapterOutcome::Finished);
    EXPECT_EQ(flowsRun, 1);  // adapter 1 only
    EXPECT_EQ(output.texts(0), "Port is opened!\r\n" + stoppedBeforeDownloadReason());
    EXPECT_EQ(output.progress(0), std::vector<int>{});  // no update began
    EXPECT_EQ(channels_.constructions(), 2);
    EXPECT_EQ(channels_.liveChannels(), 0);
}

// The file is loaded and checked once: every adapter's flow sends the one copy; a refused file is
// told once, and no port is opened for it.
TEST_F(BatchRunnerTest, TheFileIsLoadedOnceForEveryAdapter) {
    RecordingOutput output;
    NeverInterrupted interrupt;
    const BatchRequest request{
        JobKind::Update, portsOf({"com|COM1:115200", "com|COM2:115200", "com|COM3:115200"}), path_};
    std::mutex mutex;
    std::set<const UpdateFile*> seen;
    const auto sees = [&](FlowContext& job) {
        std::lock_guard<std::mutex> hold(mutex);
        seen.insert(&job.file());
        return 0;
    };
    EXPECT_EQ(runBatch(request, output, interrupt, jobsWith({sees, sees, sees})).exitStatus,
              kExitOk);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(output.shared(), "");

    { std::ofstream(path_, std::ios::binary | std::ios::trunc) << std::string(200, 'A') << "\n"; }
    const BatchRun refused = runBatch(request, output, interrupt, jobsWith({sees, sees, sees}));
    EXPECT_EQ(output.shared().rfind("**Failed** update file format error!\r\n  line 1 ", 0), 0u)
        << output.shared();
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(refused.results[i].jobResult, JobResult::Refused);
        EXPECT_EQ(refused.results[i].message, "**Failed** update file format error!");
        EXPECT_TRUE(refused.results[i].reason.starts_with("line 1 ")) << refused.results[i].reason;
    }
    EXPECT_EQ(channels_.constructions(), 3);  // the first run's only
}

}  // namespace
}  // namespace korvane
