// The adapter search over real ptys, as `korvane-fw detect` runs it.
//
// Tray: 8 ptys, 3 emulated adapters at rates drawn at random among the 13 of the window's list
// (each hears only its own rate; at another rate both ways are line noise) and 5 decoys (a
// loop-back, a modem, a noise port, two silent ports). Every iteration draws new rates and
// checks that every adapter was found at its own rate and no decoy was taken for one; the
// iteration time is the wall time of the whole search. Counters: wall_s (mean), worst_s.
//
// FirstRate: one adapter at 38400, the first rate tried: the time until it is found.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <vector>

#include "engine/adapter_discovery.h"
#include "sim/adapter/adapter_server.h"

namespace korvane {
namespace {

using Clock = std::chrono::steady_clock;

std::unique_ptr<sim::AdapterServer> serve(const sim::AdapterSettings& settings) {
    sim::ServerOptions options;
    options.link = sim::ServerOptions::Link::Pty;
    auto server = std::make_unique<sim::AdapterServer>(settings, options);
    std::string error;
    return server->start(&error) ? std::move(server) : nullptr;
}

sim::AdapterSettings adapterAt(int model, int rate) {
    sim::AdapterSettings settings;
    settings.model = model;
    settings.baud = rate;
    settings.mismatchAsNoise = true;
    return settings;
}

void BM_DiscoveryTray(benchmark::State& state) {
    std::mt19937 random(2026);
    const int models[] = {sim::kModelZnb5411, sim::kModelAzur03, sim::kModelZnb540};
    const sim::Decoy decoys[] = {sim::Decoy::LoopBack, sim::Decoy::Modem, sim::Decoy::Noise,
                                 sim::Decoy::Silent, sim::Decoy::Silent};
    double worst = 0;
    double total = 0;
    int runs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::unique_ptr<sim::AdapterServer>> servers;
        std::vector<int> rates;
        for (const int model : models) {
            const int rate = kDiscoveryRates[random() % std::size(kDiscoveryRates)];
            rates.push_back(rate);
            servers.push_back(serve(adapterAt(model, rate)));
        }
        for (const sim::Decoy kind : decoys) {
            sim::AdapterSettings settings;
            settings.decoy = kind;
            servers.push_back(serve(settings));
        }
        std::vector<DiscoveryTarget> targets;
        for (const auto& server : servers) {
            if (server == nullptr) {
                state.SkipWithError("cannot create a pty");
                return;
            }
            targets.push_back({SerialPortRequest{server->ptyPath(), 115200}, true});
        }
        // The adapters sit among the decoys in a new order each time.
        std::vector<std::size_t> order(targets.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            order[i] = i;
        }
        std::shuffle(order.begin(), order.end(), random);
        std::vector<DiscoveryTarget> shuffled;
        for (const std::size_t i : order) {
            shuffled.push_back(targets[i]);
        }
        state.ResumeTiming();

        const Clock::time_point start = Clock::now();
        const std::vector<PortFinding> findings =
            discoverAdapters(shuffled, defaultChannelFactory());
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

        state.PauseTiming();
        for (std::size_t k = 0; k < order.size(); ++k) {
            const std::size_t i = order[k];
            const PortFinding& finding = findings[k];
            const bool adapter = i < std::size(models);
            const bool right =
                adapter ? finding.probe.verdict == ProbeVerdict::Application &&
                              std::get<SerialPortRequest>(finding.request).baud == rates[i]
                        : !finding.found();
            if (!right) {
                state.SkipWithError("a port was judged wrong");
                return;
            }
        }
        worst = std::max(worst, seconds);
        total += seconds;
        ++runs;
        servers.clear();
        state.ResumeTiming();
    }
    state.counters["wall_s"] = runs > 0 ? total / runs : 0;
    state.counters["worst_s"] = worst;
}
BENCHMARK(BM_DiscoveryTray)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DiscoveryFirstRate(benchmark::State& state) {
    const std::unique_ptr<sim::AdapterServer> server =
        serve(adapterAt(sim::kModelZnb5411, kDiscoveryRates[0]));
    if (server == nullptr) {
        state.SkipWithError("cannot create a pty");
        return;
    }
    const DiscoveryTarget target{SerialPortRequest{server->ptyPath(), 115200}, true};
    for (auto _ : state) {
        const PortFinding finding = discoverOnPort(target, defaultChannelFactory());
        if (!finding.found()) {
            state.SkipWithError("the adapter was not found");
            return;
        }
    }
}
BENCHMARK(BM_DiscoveryFirstRate)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace korvane

BENCHMARK_MAIN();
