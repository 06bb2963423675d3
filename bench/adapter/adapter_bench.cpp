#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "link_client.h"
#include "sim/adapter/adapter_server.h"
#include "sim/adapter/emulated_adapter.h"
#include "sim/update_file_writer.h"

namespace {

using korvane::sim::AdapterServer;
using korvane::sim::AdapterSettings;
using korvane::sim::ServerOptions;

std::string firstLineCommand() {
    korvane::sim::UpdateFileRecipe recipe;
    recipe.payload = korvane::sim::samplePayload(64);
    return korvane::sim::makeUpdateFile(recipe).commands.front();
}

// One line command through the state machine alone, answer collected.
void BM_CoreLineCommand(benchmark::State& state) {
    AdapterSettings settings;
    settings.model = korvane::sim::kModelZnb5412;
    korvane::sim::EmulatedAdapter adapter(settings);
    const std::string start = "QXUPDT03\r";
    adapter.receive(reinterpret_cast<const std::uint8_t*>(start.data()), start.size(), 0);
    const std::string command = firstLineCommand();
    std::string out;
    for (auto _ : state) {
        adapter.receive(reinterpret_cast<const std::uint8_t*>(command.data()), command.size(), 0);
        out.clear();
        adapter.collectOutput(0, out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_CoreLineCommand);

// One line command and its answer over a real link to a served adapter.
void lineRoundTrip(benchmark::State& state, ServerOptions::Link link) {
    AdapterSettings settings;
    settings.model = korvane::sim::kModelZnb5412;
    ServerOptions options;
    options.link = link;
    options.tcpPort = 0;
    AdapterServer server(settings, options);
    std::string error;
    if (!server.start(&error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    auto client = link == ServerOptions::Link::Tcp
                      ? korvane::simtest::LinkClient::connectTcp(server.address())
                      : korvane::simtest::LinkClient::openPty(server.ptyPath(), 115200);
    if (!client || client->exchange("QXUPDT03\r").find("OK") == std::string::npos) {
        state.SkipWithError("no link");
        return;
    }
    const std::string command = firstLineCommand();
    for (auto _ : state) {
        const std::string answer = client->exchange(command);
        if (answer.empty()) {
            state.SkipWithError("no answer");
            break;
        }
    }
}

void BM_TcpLineRoundTrip(benchmark::State& state) {
    lineRoundTrip(state, ServerOptions::Link::Tcp);
}
BENCHMARK(BM_TcpLineRoundTrip)->UseRealTime();

void BM_PtyLineRoundTrip(benchmark::State& state) {
    lineRoundTrip(state, ServerOptions::Link::Pty);
}
BENCHMARK(BM_PtyLineRoundTrip)->UseRealTime();

}  // namespace
