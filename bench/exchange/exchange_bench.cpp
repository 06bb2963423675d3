// One command and its answer through exchangeCommand over the scripted channel, which answers at
// once: what is measured is the exchange itself (purge, write, one read per byte, echo test).
#include <benchmark/benchmark.h>

#include <string>

#include "engine/command_exchange.h"
#include "tests/support/scripted_channel.h"

namespace korvane {
namespace {

void exchangeRoundTrip(benchmark::State& state, const std::string& command,
                       const std::string& answer, bool echo) {
    test::ScriptedChannel channel;
    channel.setEcho(echo);
    channel.reply(command, answer);
    char reply[2048];
    std::int64_t bytes = 0;
    for (auto _ : state) {
        if (!exchangeCommand(channel, command.c_str(), reply, sizeof reply, 2000, 2000)
                 .answered()) {
            state.SkipWithError("exchange failed");
            break;
        }
        benchmark::DoNotOptimize(reply);
        bytes += static_cast<std::int64_t>(answer.size() + (echo ? command.size() : 0));
    }
    state.SetBytesProcessed(bytes);
}

void BM_ShortCommand(benchmark::State& state) {
    exchangeRoundTrip(state, "ATE1\r", "OK\r\r>", true);
}
BENCHMARK(BM_ShortCommand);

// The longest family-2 line command with its echo: the echo test runs on every reply byte.
void BM_LineCommandWithEcho(benchmark::State& state) {
    exchangeRoundTrip(state, "QXBL" + std::string(134, 'A') + "\r", "OK\r\r>", true);
}
BENCHMARK(BM_LineCommandWithEcho);

// The longest family-1 record (273 characters) answered by a reply with many line ends, each of
// which makes the echo test compare.
void BM_RecordCommandManyLineEnds(benchmark::State& state) {
    std::string answer;
    for (int i = 0; i < 200; ++i) {
        answer += "OK\r";
    }
    exchangeRoundTrip(state, "QXDLDT" + std::string(266, '0') + "\r", answer + ">", true);
}
BENCHMARK(BM_RecordCommandManyLineEnds);

}  // namespace
}  // namespace korvane
