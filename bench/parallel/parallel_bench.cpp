// Whole updates of a tray of emulated adapters over TCP loopback, all at once through the same
// batch runner as `korvane-fw update --port ... --port ...`, against one adapter's update alone.
// Each adapter takes a fixed time to write a line into its flash, so one update is bound by the
// adapter, not by the host; run side by side, the batch should take little longer than one.
//
// Each iteration times one adapter's update by itself, then all adapters' at once; the iteration
// time is the batch's. Counters: one_adapter_s and batch_s (means), and batch_to_one, the ratio
// of the two.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/batch_runner.h"
#include "sim/adapter/adapter_server.h"
#include "sim/update_file_writer.h"

namespace korvane {
namespace {

using Clock = std::chrono::steady_clock;

// Reports go nowhere; only the results count.
class QuietOutput : public BatchOutput {
public:
    void text(std::size_t, const char*) override {}
    void progress(std::size_t, int) override {}
    void sharedText(const char*) override {}
    void adapterDone(std::size_t, const AdapterResult&) override {}
    void batchDone(const std::vector<AdapterResult>&, int) override {}
};

class NoInterrupt : public InterruptSource {
public:
    bool pending() override { return false; }
};

std::string writeUpdateFile(std::size_t payloadBytes) {
    sim::UpdateFileRecipe recipe;
    recipe.family = 2;
    recipe.payload = sim::samplePayload(payloadBytes);
    recipe.productText = "Korvane OBD";
    recipe.modelName = "ZNB5411";
    recipe.versionText = "V2.2.3X";  // above the emulator's default firmware version
    const sim::GeneratedUpdateFile file = sim::makeUpdateFile(recipe);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("korvane_bench_parallel_" + std::to_string(::getpid()) + ".txt"))
                                 .string();
    sim::saveUpdateFile(path, file);
    return path;
}

// Seconds one batch took; false when an adapter did not finish.
bool timeBatch(const std::vector<std::string>& descriptors, const std::string& path,
               double& seconds) {
    QuietOutput output;
    NoInterrupt interrupt;
    BatchRequest request{JobKind::Update, {}, path};
    for (const std::string& descriptor : descriptors) {
        std::string error;
        request.ports.emplace_back();
        if (!parseJobPort(descriptor, request.ports.back(), error)) {
            return false;
        }
    }
    const Clock::time_point start = Clock::now();
    const BatchRun run = runBatch(request, output, interrupt);
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return run.exitStatus == kExitOk;
}

// Arguments: adapters, flash time per line in ms, data lines in the file.
void ParallelUpdate(benchmark::State& state) {
    const auto adapters = static_cast<std::size_t>(state.range(0));
    const int lineDelayMs = static_cast<int>(state.range(1));
    const std::string path = writeUpdateFile(static_cast<std::size_t>(state.range(2)) * 64);

    std::vector<std::unique_ptr<sim::AdapterServer>> servers;
    std::vector<std::string> descriptors;
    for (std::size_t i = 0; i < adapters; ++i) {
        sim::AdapterSettings settings;
        settings.model = sim::kModelZnb5411;
        settings.faults.lineDelayMs = lineDelayMs;
        sim::ServerOptions options;
        options.link = sim::ServerOptions::Link::Tcp;
        options.tcpPort = 0;
        servers.push_back(std::make_unique<sim::AdapterServer>(settings, options));
        std::string error;
        if (!servers.back()->start(&error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        descriptors.push_back(servers.back()->hostDescriptor());
    }

    double oneTotal = 0.0;
    double batchTotal = 0.0;
    int runs = 0;
    for (auto _ : state) {
        double one = 0.0;
        double batch = 0.0;
        if (!timeBatch({descriptors.front()}, path, one) || !timeBatch(descriptors, path, batch)) {
            state.SkipWithError("an adapter did not finish its update");
            break;
        }
        state.SetIterationTime(batch);
        oneTotal += one;
        batchTotal += batch;
        ++runs;
    }
    for (auto& server : servers) {
        server->stop();
    }
    std::filesystem::remove(path);
    if (runs == 0) {
        return;
    }
    state.counters["one_adapter_s"] = benchmark::Counter(oneTotal / runs);
    state.counters["batch_s"] = benchmark::Counter(batchTotal / runs);
    state.counters["batch_to_one"] = benchmark::Counter(batchTotal / oneTotal);
    state.SetLabel(std::to_string(adapters) + " adapters, " + std::to_string(lineDelayMs) +
                   " ms a line");
}

BENCHMARK(ParallelUpdate)
    ->Args({32, 5, 100})
    ->Args({8, 5, 100})
    ->ArgNames({"adapters", "line_ms", "lines"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
}  // namespace korvane

BENCHMARK_MAIN();
