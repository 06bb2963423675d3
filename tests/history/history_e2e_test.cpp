// Whole runs recorded against the emulated adapter: a finished, a failed and a stopped update
// through the job, and korvane-fw killed mid-download, told to record in a place it cannot
// write, and asked for its history.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/update_job.h"
#include "history/history_reader.h"
#include "history/history_recorder.h"
#include "history/sha256.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/program_run.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using e2e::EmulatedLink;
using e2e::Link;

fs::path freshFolder(const std::string& name) {
    const fs::path folder = fs::path(::testing::TempDir()) /
                            ("korvane_history_e2e_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(folder);
    return folder;
}

std::string fileSha256(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    return sha256Hex(bytes).value_or("");
}

// Sets the stop request once progress reaches `stopAt` (never for 0).
struct StopAt : JobReports {
    StopAt(UpdateJob& job, int stopAt) : job(job), stopAt(stopAt) {}
    void onText(const char*) override {}
    void onProgress(int percent) override {
        if (stopAt > 0 && percent >= stopAt) {
            job.requestStop();
        }
    }
    UpdateJob& job;
    int stopAt;
};

TEST(HistoryE2e, FinishedFailedAndStoppedUpdatesAreRecordedWithTheirFacts) {
    struct Case {
        const char* name;
        sim::FaultPlan faults;
        int stopAt;
        const char* outcome;
        const char* after;  // the firmware version the adapter tells after the download
    };
    sim::FaultPlan drop;
    drop.dropAtLine = 7;
    const Case cases[] = {
        {"finished", {}, 0, "finished", "V2.3"},
        {"failed", drop, 0, "failed", ""},
        {"stopped", {}, 20, "stopped", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::AdapterSettings settings;
        settings.model = sim::kModelZnb5413;
        settings.shortVersionAfterUpdate = "2.3";
        settings.faults = c.faults;
        EmulatedLink adapter(settings, Link::Tcp);
        ASSERT_TRUE(adapter.started()) << adapter.error();
        const e2e::UpdateFileOnDisk update =
            e2e::writeUpdateFile(e2e::recipeFor(sim::kModelZnb5413, 6400));

        const fs::path folder = freshFolder(c.name);
        std::vector<std::string> warnings;
        HistoryLog log(folder.string(), "test",
                       [&warnings](const std::string& text) { warnings.push_back(text); });
        HistoryRecorder recorder(log);
        UpdateJob job;
        StopAt reports(job, c.stopAt);
        job.setReports(&reports);
        job.setRunObserver(&recorder);
        const int slot = job.openPort(adapter.descriptor(), update.path);
        ASSERT_GE(slot, 0);
        const JobOutcome outcome = job.runUpdate(slot);
        job.releasePort(slot);

        EXPECT_TRUE(warnings.empty());
        const HistoryReadout readout = readHistory(folder.string());
        ASSERT_EQ(readout.records.size(), 1u);
        const HistoryRecord& record = readout.records[0];
        EXPECT_EQ(record.outcome, c.outcome);
        EXPECT_EQ(record.outcome, jobResultName(outcome.result));
        EXPECT_EQ(record.adapterState, adapterStateName(outcome.adapter));
        EXPECT_EQ(record.kind, "update");
        EXPECT_EQ(record.port, adapter.descriptor());
        EXPECT_EQ(record.link, "tcp");
        EXPECT_EQ(record.mode, "application");
        EXPECT_EQ(record.model, "ZNB5413");
        EXPECT_EQ(record.before.device, "V2.2");
        EXPECT_EQ(record.after.device, c.after);
        EXPECT_EQ(record.filePath, update.path);
        EXPECT_EQ(record.fileSize, static_cast<std::int64_t>(fs::file_size(update.path)));
        EXPECT_EQ(record.fileSha256, fileSha256(update.path));
        EXPECT_EQ(record.fileFamily, 2);
        EXPECT_EQ(record.failure, outcome.failureText);
        EXPECT_EQ(record.reason, outcome.reasonText);
        EXPECT_EQ(record.failure.empty(), outcome.finished());
        EXPECT_FALSE(record.ended.empty());
        // Download mode was reached in each: a start line came first, then the end line.
        std::ifstream in(folder / kHistoryFileName);
        std::string start;
        std::string end;
        std::getline(in, start);
        std::getline(in, end);
        EXPECT_EQ(parseHistoryLine(start).value_or(HistoryRecord{}).event, "start");
        EXPECT_EQ(parseHistoryLine(end).value_or(HistoryRecord{}).event, "end");
    }
}

// The environment of the korvane-fw started by one test; each test runs in a process of its own.
void keepHistoryIn(const fs::path& folder) {
    ::setenv("XDG_STATE_HOME", folder.c_str(), 1);
    ::unsetenv("KORVANE_NO_HISTORY");
}

TEST(HistoryE2e, AnUpdateKilledMidDownloadReadsBackAsInterrupted) {
    sim::AdapterSettings settings;
    settings.model = sim::kModelZnb5411;
    settings.faults.lineDelayMs = 20;  // about 2 s for the whole file
    EmulatedLink adapter(settings, Link::Tcp);
    ASSERT_TRUE(adapter.started()) << adapter.error();
    const e2e::UpdateFileOnDisk update =
        e2e::writeUpdateFile(e2e::recipeFor(sim::kModelZnb5411, 6400));
    const fs::path state = freshFolder("killed");
    keepHistoryIn(state);

    test::ProgramRun program(
        {"update", "--port", adapter.descriptor(), "--file", update.path, "--progress=none"});
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(adapter.server().waitUntil(
        [](const sim::AdapterStatus& status) { return status.lineCommands >= 6; }, 20000));
    program.kill();
    EXPECT_EQ(program.wait().status, 128 + SIGKILL);

    const HistoryReadout readout = readHistory((state / "korvane-updater").string());
    ASSERT_EQ(readout.records.size(), 1u);
    EXPECT_EQ(readout.records[0].outcome, "interrupted");
    EXPECT_EQ(readout.records[0].frontEnd, "cli");
    EXPECT_EQ(readout.records[0].fileSha256, fileSha256(update.path));

    const test::ProgramResult shown = test::runProgram({"history", "--outcome", "interrupted"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.out.find("interrupted"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find(fileSha256(update.path).substr(0, 12)), std::string::npos);
}

TEST(HistoryE2e, AnUnwritableHistoryCostsAWarningAndTheUpdateStillFinishes) {
    sim::AdapterSettings settings;
    settings.model = sim::kModelZnb5413;
    EmulatedLink adapter(settings, Link::Tcp);
    ASSERT_TRUE(adapter.started()) << adapter.error();
    const e2e::UpdateFileOnDisk update =
        e2e::writeUpdateFile(e2e::recipeFor(sim::kModelZnb5413, 640));
    // A file where the history's folder would have to be: no user, root included, can write it.
    const fs::path state = freshFolder("unwritable");
    fs::create_directories(state);
    { std::ofstream(state / "korvane-updater") << "not a folder"; }
    keepHistoryIn(state);

    const test::ProgramResult run = test::runProgram(
        {"update", "--port", adapter.descriptor(), "--file", update.path, "--progress=none"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("File download finished!"), std::string::npos);
    EXPECT_NE(run.err.find("korvane-fw: warning: update history: cannot create"), std::string::npos)
        << run.err;
    EXPECT_EQ(adapter.server().status().update, sim::UpdateStatus::Completed);

    // Turned off, nothing is tried and nothing is told.
    const test::ProgramResult quiet =
        test::runProgram({"read", "--port", adapter.descriptor(), "--no-history"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err.find("update history"), std::string::npos) << quiet.err;
}

}  // namespace
}  // namespace korvane
