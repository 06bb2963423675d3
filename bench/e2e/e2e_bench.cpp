// Whole updates against the emulated adapter, through the same UpdateJob the window drives, over
// real TCP loopback and a real pty. The timed part is the transfer itself (from the first line or
// record to the last), so the fixed waits of the protocol (the 200 ms before the closing
// recovery, the 2000 ms after the block download) do not count. With the emulator's wire-time
// model the transfer is also compared with the link's lower bound: every byte that crossed, both
// ways, at 10 bits per byte at the rate it crossed at.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/update_job.h"
#include "sim/adapter/adapter_server.h"
#include "sim/update_file_writer.h"

namespace korvane {
namespace {

using Clock = std::chrono::steady_clock;

// One point of the transfer: when, and how much link time had passed by then.
struct Mark {
    Clock::time_point at;
    double linkSeconds = 0.0;
};

// Marks the timed part of the transfer by its progress reports.
struct Transfer : JobReports {
    sim::AdapterServer* server = nullptr;
    int firstProgressReport = 0;  // the progress report that opens the timed part (1-based)
    int lastProgressReport = 0;   // ... and the one that closes it
    int reports = 0;
    Mark first;
    Mark last;

    void onText(const char*) override {}
    void onProgress(int) override;
};

Mark markNow(sim::AdapterServer& server) {
    Mark mark;
    mark.linkSeconds = server.status().counts.linkTimeSeconds;
    mark.at = Clock::now();
    return mark;
}

void Transfer::onProgress(int) {
    ++reports;
    if (reports == firstProgressReport) {
        first = markNow(*server);
    } else if (reports == lastProgressReport) {
        last = markNow(*server);
    }
}

// The median, over consecutive line or record commands, of the time between their arrivals
// divided by the least that time can be: the earlier command's echo and answer and the later
// command itself at 10 bits per byte. Unlike the whole transfer's ratio, it is not moved by the
// few exchanges in which the machine ran something else.
double medianExchangeRatio(const std::vector<sim::ReceivedCommand>& commands, const char* prefix,
                           std::size_t answerBytes, int baud) {
    std::vector<double> ratios;
    for (std::size_t i = 1; i < commands.size(); ++i) {
        const sim::ReceivedCommand& before = commands[i - 1];
        const sim::ReceivedCommand& after = commands[i];
        if (before.text.rfind(prefix, 0) != 0 || after.text.rfind(prefix, 0) != 0) {
            continue;
        }
        const double bytes =
            static_cast<double>(before.text.size() + 1 + answerBytes + after.text.size() + 1);
        const double least = bytes * 10.0 / baud;
        ratios.push_back(static_cast<double>(after.timeNs - before.timeNs) / 1e9 / least);
    }
    if (ratios.empty()) {
        return 0.0;
    }
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    return ratios[ratios.size() / 2];
}

std::string writeFile(const sim::UpdateFileRecipe& recipe, sim::GeneratedUpdateFile& file) {
    static std::atomic<int> counter{0};
    file = sim::makeUpdateFile(recipe);
    const std::string path =
        (std::filesystem::temp_directory_path() /
         ("korvane_bench_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + ".txt"))
            .string();
    sim::saveUpdateFile(path, file);
    return path;
}

struct Scenario {
    int model;
    int payloadBytes;
    bool pty;
    bool wireTime;
};

// Runs one whole update per iteration; reports the transfer's time as the iteration time.
void runScenario(benchmark::State& state, const Scenario& scenario) {
    sim::UpdateFileRecipe recipe;
    recipe.family = scenario.model <= sim::kModelAzur01 ? 2 : 1;
    recipe.payload = sim::samplePayload(static_cast<std::size_t>(scenario.payloadBytes));
    recipe.productText = "Korvane OBD";
    recipe.modelName = recipe.family == 2 ? "ZNB5411" : "Korvane FS v1";
    recipe.versionText = "V2.2.3X";
    sim::GeneratedUpdateFile file;
    const std::string path = writeFile(recipe, file);
    if (!file.ok()) {
        state.SkipWithError(file.error.c_str());
        return;
    }
    const int units = static_cast<int>(file.commands.size());  // lines or records sent

    double seconds = 0.0;
    double lowerBound = 0.0;
    double medianRatios = 0.0;
    int runs = 0;
    for (auto _ : state) {
        sim::AdapterSettings settings;
        settings.model = scenario.model;
        settings.wireTime = scenario.wireTime;
        sim::ServerOptions options;
        options.link = scenario.pty ? sim::ServerOptions::Link::Pty : sim::ServerOptions::Link::Tcp;
        options.tcpPort = 0;
        sim::AdapterServer server(settings, options);
        std::string error;
        if (!server.start(&error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        const std::string descriptor =
            scenario.pty ? "com|" + server.ptyPath() + ":115200" : "tcp|" + server.address();
        // Family 2: progress 1, 2, 3, 4, 5 (start request answered), one per pair, then 99.
        // Family 1: progress 1, 2, 3, 4, then one per record: timed from the first record's
        // report (the link already at 2 Mbps) to the last one's.
        Transfer transfer;
        transfer.server = &server;
        if (recipe.family == 2) {
            transfer.firstProgressReport = 5;
            transfer.lastProgressReport = 5 + units / 2 + 1;
        } else {
            transfer.firstProgressReport = 5;
            transfer.lastProgressReport = 4 + units;
        }
        UpdateJob job;
        job.setReports(&transfer);
        const int slot = job.openPort(descriptor, path);
        if (slot < 0) {
            state.SkipWithError("the port did not open");
            break;
        }
        const bool finished = job.runUpdate(slot).finished();
        job.releasePort(slot);
        server.stop();
        if (!finished) {
            state.SkipWithError("the update did not finish");
            break;
        }
        const double took =
            std::chrono::duration<double>(transfer.last.at - transfer.first.at).count();
        state.SetIterationTime(took);
        seconds += took;
        lowerBound += transfer.last.linkSeconds - transfer.first.linkSeconds;
        // Answers: "...", CR, CR, ">" or "OK", CR, CR, ">" to lines; "OK", CR, CR, ">" to records.
        medianRatios += recipe.family == 2
                            ? medianExchangeRatio(server.commands(), "QXBL", 5, 115200)
                            : medianExchangeRatio(server.commands(), "QXDLDT", 5, 2000000);
        ++runs;
    }
    std::filesystem::remove(path);
    if (runs == 0) {
        return;
    }
    // Units inside the timed part: family 2 every line, family 1 every record but the first.
    const int timedUnits = recipe.family == 2 ? units : units - 1;
    state.counters["units_per_s"] = benchmark::Counter(timedUnits * runs / seconds);
    if (scenario.wireTime) {
        state.counters["ratio_to_link_bound"] = benchmark::Counter(seconds / lowerBound);
        state.counters["median_exchange_ratio"] = benchmark::Counter(medianRatios / runs);
    }
    state.SetLabel(std::to_string(units) + (recipe.family == 2 ? " lines" : " records"));
}

// 4,000 lines (3,999 data lines and the information line) over TCP loopback, no delays.
void Family2TcpLoopback(benchmark::State& state) {
    runScenario(state, {sim::kModelZnb5411, 3999 * 64, false, false});
}

// 200 lines over a pty at 115200 baud with wire time.
void Family2PtyWireTime115200(benchmark::State& state) {
    runScenario(state, {sim::kModelZnb5411, 199 * 64, true, true});
}

// 400 records of 128 bytes over a pty, at 2 Mbps after the switch, with wire time.
void Family1PtyWireTime2Mbps(benchmark::State& state) {
    runScenario(state, {sim::kModelZnb540, 400 * 128, true, true});
}

BENCHMARK(Family2TcpLoopback)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(Family2PtyWireTime115200)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(Family1PtyWireTime2Mbps)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace korvane

BENCHMARK_MAIN();
