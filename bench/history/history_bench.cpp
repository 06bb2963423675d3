// The update history's cost: what recording adds to one update (the SHA-256 of a 1 MiB file, the
// start and end lines, each flushed to disk), and reading back 10,000 records as `korvane-fw
// history` does.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "history/history_reader.h"
#include "history/history_recorder.h"
#include "history/history_table.h"
#include "history/sha256.h"

namespace {

namespace fs = std::filesystem;
using namespace korvane;

constexpr std::size_t kFileBytes = 1024 * 1024;
constexpr int kRecords = 10000;

fs::path benchFolder(const char* name) {
    const fs::path folder =
        fs::temp_directory_path() /
        ("korvane_history_bench_" + std::string(name) + "_" + std::to_string(::getpid()));
    fs::remove_all(folder);
    return folder;
}

// The facts of a typical family-2 update, as the job hands them over.
RunFacts typicalFacts() {
    RunFacts facts;
    facts.port = "com|/dev/ttyUSB0:115200";
    facts.link = "serial";
    facts.path = "/home/workshop/firmware/ZNB5413_V2.2.3X.hex";
    facts.fileSize = kFileBytes;
    facts.family = 2;
    facts.fileModel = "ZNB5413";
    facts.fileVersion = "V2.2.3X";
    facts.appMode = true;
    facts.deviceCode = 1;
    facts.before.device = "V2.2";
    return facts;
}

// Everything recording adds to one update: the hash of the loaded file, the start line and the end
// line, each flushed to disk before the run goes on.
void BM_RecordOneUpdate_1MiB(benchmark::State& state) {
    const fs::path folder = benchFolder("record");
    HistoryLog log(folder.string(), "cli",
                   [&state](const std::string& text) { state.SkipWithError(text.c_str()); });
    HistoryRecorder recorder(log);
    const std::vector<std::uint8_t> file(kFileBytes, 0x5a);
    RunFacts facts = typicalFacts();
    const JobOutcome finished{JobResult::Finished, {}, {}};
    for (auto _ : state) {
        facts.downloadMode = false;
        facts.after = {};
        recorder.runStarted(facts);
        recorder.fileLoaded(file);
        facts.downloadMode = true;
        recorder.changeAhead(facts);
        facts.after.device = "V2.3";
        recorder.runEnded(facts, finished);
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_RecordOneUpdate_1MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Sha256_1MiB(benchmark::State& state) {
    const std::vector<std::uint8_t> file(kFileBytes, 0x5a);
    for (auto _ : state) {
        benchmark::DoNotOptimize(sha256Hex(file));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kFileBytes);
}
BENCHMARK(BM_Sha256_1MiB)->Unit(benchmark::kMillisecond);

// 10,000 finished updates in the two files, as rotation leaves them, read and put in the table.
void BM_ReadTenThousandRecords(benchmark::State& state) {
    const fs::path folder = benchFolder("read");
    fs::create_directories(folder);
    {
        std::ofstream older(folder / kOlderHistoryFileName, std::ios::binary);
        std::ofstream current(folder / kHistoryFileName, std::ios::binary);
        const RunFacts facts = typicalFacts();
        for (int i = 0; i < kRecords; ++i) {
            HistoryRecord record;
            record.id = newRecordId();
            record.event = "end";
            record.kind = "update";
            record.started = utcTimestamp();
            record.ended = record.started;
            record.programVersion = "1.0.0.1";
            record.frontEnd = "cli-batch";
            record.port = facts.port;
            record.link = facts.link;
            record.mode = "application";
            record.model = "ZNB5413";
            record.before.device = "V2.2";
            record.after.device = "V2.3";
            record.filePath = facts.path;
            record.fileSize = facts.fileSize;
            record.fileSha256 = std::string(64, 'c');
            record.fileFamily = 2;
            record.fileModel = facts.fileModel;
            record.fileVersion = facts.fileVersion;
            record.outcome = "finished";
            (i < kRecords / 2 ? older : current) << historyLine(record);
        }
    }
    std::size_t bytes =
        fs::file_size(folder / kOlderHistoryFileName) + fs::file_size(folder / kHistoryFileName);
    for (auto _ : state) {
        const HistoryReadout readout = readHistory(folder.string());
        if (readout.records.size() != kRecords) {
            state.SkipWithError("records lost");
            break;
        }
        benchmark::DoNotOptimize(historyTableText(readout.records));
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
    fs::remove_all(folder);
}
BENCHMARK(BM_ReadTenThousandRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
