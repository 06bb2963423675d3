#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "channel/open_failure.h"
#include "engine/answer_watch.h"
#include "engine/failure_reason.h"
#include "engine/flow_texts.h"
#include "engine/stop_aware_channel.h"
#include "engine/update_job.h"
#include "platform/tick.h"
#include "platform/worker_thread.h"
#include "sim/update_file_writer.h"
#include "tests/support/scripted_channel.h"

namespace korvane {
namespace {

using test::ScriptedChannel;
using test::ScriptedChannelFactory;

constexpr const char* kNotEnoughMemory = "**Failed** Not enough memory!\r\n";
constexpr const char* kPortOpened = "Port is opened!\r\n";
constexpr const char* kFileInvalid = "**Failed** File is Invalid!\r\n";
constexpr const char* kFormatError = "**Failed** update file format error!\r\n";
constexpr const char* kFinished = "File download finished!\r\n";
constexpr const char* kParameterError = "**Failed** Port parameter error!\r\n";
constexpr const char* kConnectionError = "**Failed** Port connection error!\r\n";

// Every report in order: texts as they are, progress as "%<value>".
class ReportLog {
public:
    static void sink(void* userData, int kind, std::intptr_t value) {
        auto* log = static_cast<ReportLog*>(userData);
        std::lock_guard<std::mutex> hold(log->mutex_);
        if (kind == kReportText) {
            log->events_.emplace_back(reinterpret_cast<const char*>(value));
        } else {
            log->events_.push_back("%" + std::to_string(value));
        }
    }
    std::vector<std::string> take() {
        std::lock_guard<std::mutex> hold(mutex_);
        return std::move(events_);
    }

private:
    std::mutex mutex_;
    std::vector<std::string> events_;
};

using Events = std::vector<std::string>;

// A scratch directory for update files, removed at the end of each test.
class ScratchFiles {
public:
    ScratchFiles() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("korvane_job_") + info->name() + "_" + std::to_string(tickMs()));
        std::filesystem::create_directories(dir_);
    }
    ~ScratchFiles() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string write(const std::string& name, const std::string& bytes) const {
        const std::filesystem::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    std::string missing() const { return (dir_ / "no such file.bin").string(); }

private:
    std::filesystem::path dir_;
};

// A sound update file of the family, from the file writer.
std::string soundUpdateFile(int family) {
    sim::UpdateFileRecipe recipe;
    recipe.family = family;
    recipe.payload = sim::samplePayload(1000);
    if (family == 1) {
        recipe.modelName = "Korvane FS v1";
    }
    const sim::GeneratedUpdateFile file = sim::makeUpdateFile(recipe);
    EXPECT_TRUE(file.ok()) << file.error;
    return file.bytes;
}

// What the fake flows saw and what they answer.
struct FlowLog {
    std::vector<std::string> calls;
    std::vector<std::size_t> bufferSizes;    // the file buffer's size when each flow ran
    std::vector<std::string> writtenBefore;  // what the channel had been sent before each flow
    FlowResult result = FlowResult::Completed;
    bool downloadMode = false;          // the flow puts the adapter into download mode
    bool downloadModeRefused = false;   // and the adapter's answer then refuses it
    std::vector<const char*> failures;  // failure texts the flow reports after its text
    // What the version reports give.
    VersionReportResult versionResult = VersionReportResult::NoVersionLetter;
};

// The scripted channel a flow works on, under the job's watch for a silent adapter and for a
// stop.
ScriptedChannel& scriptedUnder(Channel& channel) {
    Channel* under = &channel;
    if (auto* watch = dynamic_cast<AnswerWatch*>(under)) {
        under = &watch->inner();
    }
    if (auto* stoppable = dynamic_cast<StopAwareChannel*>(under)) {
        under = &stoppable->inner();
    }
    return dynamic_cast<ScriptedChannel&>(*under);
}

JobFlows fakeFlows(FlowLog& log) {
    auto record = [&log](const char* name, FlowContext& job, Channel& channel) {
        log.calls.emplace_back(name);
        log.bufferSizes.push_back(job.file().data.size());
        log.writtenBefore.push_back(scriptedUnder(channel).written());
        if (log.downloadMode) {
            EXPECT_TRUE(job.enterDownloadMode({}));
        }
        if (log.downloadModeRefused) {
            job.noteDownloadModeRefused();
        }
        job.reportText("flow text\r\n");
        for (const char* failure : log.failures) {
            job.reportFailure(failure);
        }
        return FlowOutcome{log.result, {}};
    };
    JobFlows flows;
    flows.lineDownload = [record](FlowContext& job, Channel& channel) {
        return record("line", job, channel);
    };
    flows.blockDownload = [record](FlowContext& job, Channel& channel) {
        return record("block", job, channel);
    };
    flows.deviceVersion = [&log](FlowContext&, Channel& channel, ModelCode code) {
        log.calls.push_back("device " + std::to_string(code));
        log.writtenBefore.push_back(scriptedUnder(channel).written());
        return log.versionResult;
    };
    flows.adapterVersion = [&log](FlowContext&, Channel&, ModelCode code) {
        log.calls.push_back("adapter " + std::to_string(code));
        return VersionReportResult::NoVersionLetter;
    };
    return flows;
}

class UpdateJobTest : public testing::Test {
protected:
    UpdateJobTest() : job_(channels_.factory(), fakeFlows(flows_)) {
        job_.setReportSink(&log_, &ReportLog::sink);
    }

    // Opens a port on a scripted adapter and forgets the "Port is opened!" report.
    int open(const std::string& path) {
        const int slot = job_.openPort("com|COM3:115200", path);
        EXPECT_GE(slot, 0);
        EXPECT_EQ(log_.take(), Events{kPortOpened});
        return slot;
    }
    ScriptedChannel& channelOf(int slot) {
        return static_cast<ScriptedChannel&>(*job_.slotChannel(slot));
    }

    ScriptedChannelFactory channels_;
    FlowLog flows_;
    ReportLog log_;
    ScratchFiles files_;
    UpdateJob job_;
};

TEST_F(UpdateJobTest, TakesTheLowestFreeSlotAndReusesAReleasedOne) {
    EXPECT_EQ(job_.openPort("com|COM3:115200", ""), 0);
    EXPECT_EQ(job_.openPort("tcp|192.168.0.10:35000", ""), 1);
    EXPECT_EQ(log_.take(), (Events{kPortOpened, kPortOpened}));
    EXPECT_EQ(channels_.liveChannels(), 2);

    job_.releasePort(0);
    EXPECT_FALSE(job_.slotInUse(0));
    EXPECT_EQ(channels_.liveChannels(), 1);  // the channel was destroyed
    EXPECT_EQ(job_.openPort("com|COM4:9600", ""), 0);
    EXPECT_TRUE(job_.slotInUse(1));

    job_.releasePort(0);
    job_.releasePort(0);    // a free slot: nothing happens
    job_.releasePort(-1);   // not a slot
    job_.releasePort(256);  // not a slot
    EXPECT_TRUE(job_.slotInUse(1));
}

TEST_F(UpdateJobTest, AllSlotsTakenGivesNotEnoughMemoryWithoutLookingAtTheDescriptor) {
    for (int i = 0; i < UpdateJob::kSlotCount; ++i) {
        ASSERT_EQ(job_.openPort("com|COM3:115200", ""), i);
    }
    log_.take();
    const int built = channels_.constructions();
    for (const char* descriptor : {"com|COM3:115200", "nonsense", ""}) {
        EXPECT_EQ(job_.openPort(descriptor, ""), -1);
        EXPECT_EQ(log_.take(), Events{kNotEnoughMemory});
    }
    EXPECT_EQ(channels_.constructions(), built);

    job_.releasePort(17);
    EXPECT_EQ(job_.openPort("com|COM3:115200", ""), 17);
}

// `events` are `before`, then the fixed failure text, then one reason line holding `words`.
void expectReason(const Events& events, const Events& before, const char* fixed,
                  const char* words) {
    ASSERT_EQ(events.size(), before.size() + 2) << ::testing::PrintToString(events);
    EXPECT_EQ(Events(events.begin(), events.begin() + static_cast<long>(before.size())), before);
    EXPECT_EQ(events[before.size()], fixed);
    const std::string& reason = events.back();
    EXPECT_TRUE(reason.starts_with("  ") && reason.ends_with("\r\n")) << reason;
    EXPECT_NE(reason.find(words), std::string::npos) << reason;
}

TEST_F(UpdateJobTest, ChannelFailuresLeaveTheSlotFree) {
    EXPECT_EQ(job_.openPort("udp|x:1", "fw.bin"), -1);
    expectReason(log_.take(), {}, kParameterError, "\"udp|x:1\": the port kind \"udp\"");

    channels_.queueOpenResults({false, false, false});
    EXPECT_EQ(job_.openPort("com|COM3:115200", "fw.bin"), -1);
    expectReason(log_.take(), {}, kConnectionError, "could not be opened");
    EXPECT_FALSE(job_.slotInUse(0));
    EXPECT_EQ(channels_.liveChannels(), 0);
}

TEST_F(UpdateJobTest, PathThatDoesNotFitIsRefusedNotCut) {
    const std::string longest(UpdateJob::kMaxPathLength, 'p');
    EXPECT_EQ(job_.openPort("com|COM3:115200", longest + "q"), -1);
    expectReason(log_.take(), {}, kFileInvalid, "the path is 1024 bytes long, at most 1023");
    EXPECT_EQ(job_.openPort("com|COM3:115200", std::string("fw.bin\0other", 12)), -1);
    expectReason(log_.take(), {}, kFileInvalid, "NUL byte");
    EXPECT_EQ(channels_.constructions(), 0);  // no port opened for a path that cannot be used

    EXPECT_EQ(job_.openPort("com|COM3:115200", longest), 0);
    EXPECT_EQ(log_.take(), Events{kPortOpened});
}

TEST_F(UpdateJobTest, MissingFileGivesProgressOneThenFileIsInvalid) {
    const int slot = open(files_.missing());
    job_.runUpdate(slot);
    expectReason(log_.take(), {"%1"}, kFileInvalid, "no such file.bin: no such file");
    EXPECT_TRUE(channelOf(slot).writes().empty());
    EXPECT_TRUE(flows_.calls.empty());
    EXPECT_TRUE(job_.slotInUse(slot));  // the window releases it
}

TEST_F(UpdateJobTest, FileOf137BytesIsInvalidAnd138BytesGoOnToTheCheck) {
    const int shortSlot = open(files_.write("short.bin", std::string(137, 'A')));
    job_.runUpdate(shortSlot);
    expectReason(log_.take(), {"%1"}, kFileInvalid, "137 bytes is too small");
    EXPECT_TRUE(job_.file().data.empty());

    const int slot = open(files_.write("garbage.bin", std::string(138, 'A')));
    job_.runUpdate(slot);
    const Events events = log_.take();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], "%1");
    EXPECT_EQ(events[1], kFormatError);
    // The check's reason line names the line before progress 2.
    EXPECT_TRUE(events[2].starts_with("  line 1 of the update file: the record announces 43690"))
        << events[2];
    EXPECT_EQ(events[3], "%2");
    EXPECT_TRUE(job_.file().data.empty());
    EXPECT_TRUE(channelOf(slot).writes().empty());  // no "ATE1" for a file that failed
    EXPECT_TRUE(flows_.calls.empty());
}

TEST_F(UpdateJobTest, SoundFileTurnsTheEchoOnAndRunsTheFlowOfItsFamily) {
    for (int family : {1, 2}) {
        SCOPED_TRACE(family);
        flows_ = FlowLog{};
        const std::string bytes = soundUpdateFile(family);
        const int slot = open(files_.write("sound.bin", bytes));
        channelOf(slot).setEcho(true);
        channelOf(slot).reply("ATE1\r", "OK\r\r>");

        job_.runUpdate(slot);
        EXPECT_EQ(log_.take(), (Events{"%1", "%2", "flow text\r\n", kFinished, "%100"}));
        EXPECT_EQ(flows_.calls, Events{family == 1 ? "block" : "line"});
        EXPECT_EQ(flows_.writtenBefore, Events{"ATE1\r"});
        // Before download mode a read of the 2000 ms deadline is waited for in slices, between
        // which the stop request is looked at.
        EXPECT_EQ(channelOf(slot).readTimeouts(), std::vector<int>(10, StopAwareChannel::kSliceMs));
        // The flow works on the loaded file; the job releases it once the flow is done.
        EXPECT_EQ(flows_.bufferSizes, std::vector<std::size_t>{bytes.size()});
        EXPECT_TRUE(job_.file().data.empty());
        EXPECT_EQ(job_.file().size, 0);
        job_.releasePort(slot);
    }
}

TEST_F(UpdateJobTest, SilentAdapterStillGetsItsFlowAndFlowFailureReportsNoSuccess) {
    flows_.result = FlowResult::Failed;
    const int slot = open(files_.write("sound.bin", soundUpdateFile(2)));
    job_.runUpdate(slot);  // "ATE1" goes unanswered; its outcome does not matter
    // The scripted silence ends its reads at once, which is a dropped link rather than an adapter
    // that waited out its deadline: no silence reason (the end-to-end tests wait for real), only
    // the flow's failure and the adapter's state.
    EXPECT_EQ(log_.take(),
              (Events{"%1", "%2", "flow text\r\n",
                      "  the update did not finish; the adapter was left as it was (never put into "
                      "download mode).\r\n"}));
    EXPECT_EQ(channelOf(slot).writes(), Events{"ATE1\r"});
    EXPECT_TRUE(job_.file().data.empty());

    flows_.result = FlowResult::Completed;
    job_.runUpdate(slot);
    EXPECT_EQ(log_.take(), (Events{"%1", "%2", "flow text\r\n", kFinished, "%100"}));
}

// A link lost during a run (as the channel tells it) gets one reason line, once the run's failure
// texts are out. It names the port as it was opened, the system's words when there are any, and
// what to check; an update that left the adapter in download mode ends with powering it off and
// on, any other run with trying again.
TEST_F(UpdateJobTest, ALostLinkIsToldOnceAfterTheFailureTexts) {
    const char* kFirst = "**Failed** first!\r\n";
    const char* kSecond = "**Failed** second!\r\n";
    // The system's words in brackets, as far as the system has any.
    auto words = [](int code) {
        const std::string text = systemErrorText(code);
        return text.empty() ? text : " (" + text + ")";
    };
    const std::string serialAdvice = "; check the cable, or the Bluetooth link, then ";
    const std::string wifiAdvice =
        "; check that the adapter is powered and that this computer is still on its Wi-Fi "
        "network, then ";
    const std::string update = "power the adapter off and on and update again.\r\n";
    struct Case {
        const char* name;
        const char* descriptor;
        bool read;  // a read-out, not an update
        LinkLoss loss;
        std::vector<const char*> failures;
        Events expected;           // after the port opened
        bool downloadMode = true;  // the flow put the adapter into download mode
    };
    const Case cases[] = {
        {"serial hang-up",
         "com|COM3:115200",
         false,
         {LossCause::HungUp, 0},
         {kFirst, kSecond},
         {"%1", "%2", "flow text\r\n", kFirst, kSecond,
          "  COM3: the connection was lost: the port hung up" + serialAdvice + update}},
        {"TCP closed by the adapter",
         "tcp|127.0.0.1:35000",
         false,
         {LossCause::ClosedByPeer, 0},
         {kFirst},
         {"%1", "%2", "flow text\r\n", kFirst,
          "  127.0.0.1:35000: the adapter closed the connection" + wifiAdvice + update}},
        {"TCP reset, told at the end of a flow without failure texts",
         "tcp|127.0.0.1:35000",
         false,
         {LossCause::Failed, ECONNRESET},
         {},
         {"%1", "%2", "flow text\r\n",
          "  127.0.0.1:35000: the connection was lost" + words(ECONNRESET) + wifiAdvice + update}},
        {"lost before download mode",
         "com|COM3:115200",
         false,
         {LossCause::HungUp, 0},
         {kFirst},
         {"%1", "%2", "flow text\r\n", kFirst,
          "  COM3: the connection was lost: the port hung up" + serialAdvice +
              "try again; the adapter was left as it was.\r\n"},
         false},
        {"read-out of a port that failed",
         "com|COM3:115200",
         true,
         {LossCause::Failed, EIO},
         {},
         {"  COM3: the connection was lost" + words(EIO) + serialAdvice + "try again.\r\n"}},
        {"a link that works: the flow's own reason",
         "com|COM3:115200",
         false,
         {},
         {kFirst},
         {"%1", "%2", "flow text\r\n", kFirst,
          "  the update did not finish; the adapter now waits in download mode: power it off and "
          "on, then update it again.\r\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        flows_.result = FlowResult::Failed;
        flows_.failures = c.failures;
        flows_.downloadMode = c.downloadMode;
        const int slot = job_.openPort(c.descriptor, files_.write("f.bin", soundUpdateFile(2)));
        ASSERT_GE(slot, 0);
        log_.take();
        channelOf(slot).setLinkLoss(c.loss);
        c.read ? job_.readVersions(slot) : job_.runUpdate(slot);
        EXPECT_EQ(log_.take(), c.expected);
        job_.releasePort(slot);
    }
}

// The outcome comes from the job's own steps: the file, the flow's result and whether the flow
// had asked for download mode. Its text is the first failure text, not whatever came last.
TEST_F(UpdateJobTest, OutcomeSaysHowTheRunEndedWithItsFirstFailureText) {
    const char* kFirst = "**Failed** first!\r\n";
    const char* kSecond = "**Failed** second!\r\n";
    struct Case {
        const char* name;
        std::string file;  // empty: a sound family-2 file
        FlowResult flowResult;
        bool downloadMode;
        std::vector<const char*> failures;
        JobResult expected;
        std::string text;
        bool downloadModeRefused = false;
    };
    const Case cases[] = {
        {"missing file",
         files_.missing(),
         FlowResult::Completed,
         false,
         {},
         JobResult::Refused,
         kFileInvalid},
        {"too short",
         files_.write("s.bin", std::string(137, 'A')),
         FlowResult::Completed,
         false,
         {},
         JobResult::Refused,
         kFileInvalid},
        {"format error",
         files_.write("g.bin", std::string(138, 'A')),
         FlowResult::Completed,
         false,
         {},
         JobResult::Refused,
         kFormatError},
        {"refused by the flow",
         "",
         FlowResult::Failed,
         false,
         {kFirst, kSecond},
         JobResult::Refused,
         kFirst},
        {"failed in download mode",
         "",
         FlowResult::Failed,
         true,
         {kFirst, kSecond},
         JobResult::Failed,
         kFirst},
        {"download mode refused by the adapter",
         "",
         FlowResult::Failed,
         true,
         {kFirst},
         JobResult::Refused,
         kFirst,
         true},
        {"finished after a retried failure",
         "",
         FlowResult::Completed,
         true,
         {kFirst},
         JobResult::Finished,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        flows_.result = c.flowResult;
        flows_.downloadMode = c.downloadMode;
        flows_.downloadModeRefused = c.downloadModeRefused;
        flows_.failures = c.failures;
        const int slot = open(c.file.empty() ? files_.write("f.bin", soundUpdateFile(2)) : c.file);
        const JobOutcome outcome = job_.runUpdate(slot);
        EXPECT_EQ(outcome.result, c.expected);
        // What the adapter was left in follows what the flow did with it.
        const AdapterState state = c.expected == JobResult::Finished ? AdapterState::Finished
                                   : c.expected == JobResult::Failed ? AdapterState::DownloadMode
                                                                     : AdapterState::Untouched;
        EXPECT_EQ(outcome.adapter, state);
        EXPECT_EQ(outcome.finished(), c.expected == JobResult::Finished);
        EXPECT_EQ(outcome.failureText, c.text);
        job_.releasePort(slot);
        log_.take();
    }
}

TEST_F(UpdateJobTest, ReadVersionsAsksBothReportsForModelZeroWithoutAnEcho) {
    const int slot = open("");
    const JobOutcome nothing = job_.readVersions(slot);
    EXPECT_EQ(flows_.calls, (Events{"device 0", "adapter 0"}));
    EXPECT_EQ(flows_.writtenBefore, Events{""});
    EXPECT_TRUE(log_.take().empty());
    EXPECT_EQ(nothing.result, JobResult::Failed);  // a read-out is never a refusal

    flows_.versionResult = VersionReportResult::Reported;
    EXPECT_TRUE(job_.readVersions(slot).finished());
}

TEST_F(UpdateJobTest, OperationsOnAFreeSlotDoNothing) {
    EXPECT_EQ(job_.runUpdate(3).result, JobResult::Failed);
    EXPECT_EQ(job_.readVersions(3).result, JobResult::Failed);
    job_.runUpdate(-1);
    job_.readVersions(1000);
    EXPECT_TRUE(log_.take().empty());
    EXPECT_TRUE(flows_.calls.empty());
}

TEST_F(UpdateJobTest, DestructionReleasesEverySlot) {
    {
        UpdateJob job(channels_.factory(), fakeFlows(flows_));
        job.openPort("com|COM3:115200", "");
        job.openPort("com|COM4:115200", "");
        job.openPort("tcp|127.0.0.1:35000", "");
        job.releasePort(1);
        EXPECT_EQ(channels_.liveChannels(), 2);
    }
    EXPECT_EQ(channels_.liveChannels(), 0);
}

TEST(UpdateJobStop, RequestIsClearedBySetReportSinkAndSeenAcrossThreads) {
    ScriptedChannelFactory channels;
    UpdateJob job(channels.factory(), JobFlows{});
    job.requestStop();  // the lock exists from the start
    EXPECT_TRUE(job.stopRequested());
    job.setReportSink(nullptr, nullptr);
    EXPECT_FALSE(job.stopRequested());

    std::atomic<bool> seen{false};
    WorkerThread worker([&] {
        // Polls as the download loops do, bounded by a generous deadline.
        const Deadline deadline(20000);
        while (!deadline.expired() && !job.stopRequested()) {
            sleepMs(1);
        }
        seen = job.stopRequested();
    });
    job.requestStop();
    worker.join();
    EXPECT_TRUE(seen);
}

// In download mode the stop ends the download between two units; before it, the adapter is left
// as it was, and the job says so.
TEST(UpdateJobStop, FlowEndedByTheStopRequestStillReleasesTheBuffer) {
    for (const bool downloading : {true, false}) {
        SCOPED_TRACE(downloading);
        ScratchFiles files;
        ScriptedChannelFactory channels;
        ReportLog log;
        std::promise<void> flowRunning;
        JobFlows flows;
        flows.lineDownload = [&](FlowContext& job, Channel&) {
            if (downloading) {
                EXPECT_TRUE(job.enterDownloadMode({}));
            }
            flowRunning.set_value();
            // Reads the stop request before each unit, as the download loops do.
            const Deadline deadline(20000);
            while (!deadline.expired() && !job.stopRequested()) {
                sleepMs(1);
            }
            if (downloading) {
                // Already in download mode (the boot loader's branch enters it early): the stop is
                // the download loops' to honour, so entering again is no refusal.
                EXPECT_TRUE(job.enterDownloadMode({}));
            }
            return FlowOutcome{job.stopRequested() ? FlowResult::Failed : FlowResult::Completed,
                               {}};
        };
        UpdateJob job(channels.factory(), flows);
        job.setReportSink(&log, &ReportLog::sink);
        const int slot = job.openPort("com|COM3:115200", files.write("f.bin", soundUpdateFile(2)));
        ASSERT_EQ(slot, 0);
        JobOutcome outcome;
        {
            WorkerThread worker([&] { outcome = job.runUpdate(slot); });
            ASSERT_EQ(flowRunning.get_future().wait_for(std::chrono::seconds(20)),
                      std::future_status::ready);
            job.requestStop();
        }
        EXPECT_EQ(outcome.result, JobResult::Stopped);
        Events expected{kPortOpened, "%1", "%2"};
        if (downloading) {
            expected.push_back(stoppedInDownloadModeReason());
        } else {
            expected.push_back(stoppedBeforeDownloadReason());
            // Too late for download mode now.
            EXPECT_FALSE(job.enterDownloadMode({}));
        }
        EXPECT_EQ(log.take(), expected);
        EXPECT_TRUE(job.file().data.empty());
    }
}

// A stop that comes after the adapter refused download mode ends nothing: the refusal, its text
// and its outcome stand.
TEST(UpdateJobStop, StopAfterDownloadModeWasRefusedLeavesTheRefusal) {
    ScratchFiles files;
    ScriptedChannelFactory channels;
    ReportLog log;
    JobFlows flows;
    flows.lineDownload = [](FlowContext& job, Channel&) {
        EXPECT_TRUE(job.enterDownloadMode({}));
        job.noteDownloadModeRefused();
        dynamic_cast<UpdateJob&>(job).requestStop();
        job.reportFailure(kPowerOnText);
        return FlowOutcome{};
    };
    UpdateJob job(channels.factory(), flows);
    job.setReportSink(&log, &ReportLog::sink);
    const int slot = job.openPort("com|COM3:115200", files.write("f.bin", soundUpdateFile(2)));
    ASSERT_EQ(slot, 0);
    const JobOutcome outcome = job.runUpdate(slot);
    EXPECT_EQ(outcome.result, JobResult::Refused);
    EXPECT_EQ(outcome.adapter, AdapterState::Untouched);
    EXPECT_EQ(outcome.failureText, kPowerOnText);
}

}  // namespace
}  // namespace korvane
