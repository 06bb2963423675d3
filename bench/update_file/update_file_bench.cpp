// Checking a 1 MiB update file: one pass over the loaded buffer per family check, no copy.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "engine/update_file.h"
#include "sim/update_file_writer.h"

namespace {

constexpr std::size_t kFileBytes = 1024 * 1024;

korvane::UpdateFile fileOfAboutOneMiB(int family) {
    korvane::sim::UpdateFileRecipe recipe;
    recipe.family = family;
    // Family 2: 138 bytes per 64 payload bytes; family 1: 262 bytes per 128.
    recipe.payload =
        korvane::sim::samplePayload(family == 2 ? kFileBytes / 138 * 64 : kFileBytes / 262 * 128);
    if (family == 1) {
        recipe.modelName = "Korvane FS v1.0";
    }
    const std::string bytes = korvane::sim::makeUpdateFile(recipe).bytes;
    korvane::UpdateFile file;
    file.data.assign(bytes.begin(), bytes.end());
    file.size = static_cast<std::int32_t>(bytes.size());
    return file;
}

void runCheck(benchmark::State& state, int family,
              korvane::FileCheck (*check)(korvane::UpdateFile&)) {
    korvane::UpdateFile file = fileOfAboutOneMiB(family);
    for (auto _ : state) {
        const korvane::FileCheck result = check(file);
        if (!result.sound()) {
            state.SkipWithError("the sample file was refused");
            break;
        }
        benchmark::DoNotOptimize(result.line);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * file.size);
    state.counters["file_bytes"] = file.size;
    state.counters["lines"] = file.lineCount;
}

// What an update runs: the family-1 check first (it refuses the file within its first lines),
// then the family-2 check over the whole file.
void BM_CheckUpdateFile_Family2_1MiB(benchmark::State& state) {
    runCheck(state, 2,
             [](korvane::UpdateFile& file) { return korvane::checkUpdateFile(file, {}); });
}

void BM_CheckFamily2File_1MiB(benchmark::State& state) {
    runCheck(state, 2, korvane::checkFamily2File);
}

void BM_CheckFamily1File_1MiB(benchmark::State& state) {
    runCheck(state, 1, korvane::checkFamily1File);
}

void BM_ReadHexLine_Family2_1MiB(benchmark::State& state) {
    const korvane::UpdateFile file = fileOfAboutOneMiB(2);
    char text[korvane::kMaxFamily2Digits + 1];
    for (auto _ : state) {
        std::int32_t position = 0;
        std::size_t digits = 0;
        while (position < file.size) {
            position = korvane::readHexLine(file.data.data(), file.size, position, text,
                                            sizeof text, digits);
        }
        benchmark::DoNotOptimize(digits);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * file.size);
}

BENCHMARK(BM_CheckUpdateFile_Family2_1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckFamily2File_1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckFamily1File_1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadHexLine_Family2_1MiB)->Unit(benchmark::kMillisecond);

}  // namespace
