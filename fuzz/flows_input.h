#pragma once

// The layout of a flows fuzz input, shared by the fuzz target and the seed writer:
//
//   byte 0      action: even runs a whole update (openPort, runUpdate, releasePort), odd reads
//               the adapter's versions (openPort, readVersions, releasePort)
//   byte 1      the update file (modulo kFlowFiles, see flowFileRecipe)
//   byte 2      bit 0: the adapter echoes every command; bits 1-4: virtual ms per delivered byte
//   bytes 3-6   write failure mask (bit i: write i fails)
//   byte 7      baud-rate refusal mask (bit i: setBaudRate call i is refused)
//   bytes 8-9   the stop request is set after this many writes (0: never)
//   the rest    the bytes the adapter sends, in order

#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/update_file_writer.h"

namespace korvane::fuzz {

inline constexpr int kFlowFiles = 9;
inline constexpr std::size_t kFlowHeaderSize = 10;

// Small sound files of both families for every model, and two that the download refuses or
// cuts short (a type-03 line in a one-pair file, an odd line count).
inline sim::UpdateFileRecipe flowFileRecipe(int index) {
    static const char* const kModelNames[] = {"Azur03", "ZNB5413",       "ZNB5411",       "ZNB5412",
                                              "Azur01", "Korvane FS v1", "Korvane FS BT1"};
    sim::UpdateFileRecipe recipe;
    recipe.productText = "Korvane OBD";
    const int model = index < 7 ? index : 3;
    recipe.modelName = kModelNames[model];
    recipe.family = model <= 4 ? 2 : 1;
    recipe.versionText = (model == 0 || model == 4) ? "V4.0.1X" : "V2.2.3X";
    // Family 2: one or three data lines and the information line; family 1: two or three
    // records.
    recipe.payload = sim::samplePayload(recipe.family == 2 ? (model % 2 == 0 ? 60 : 180) : 50,
                                        static_cast<std::uint32_t>(index + 1));
    recipe.recordSize = model == 5 ? 25 : 20;
    if (index == 7) {
        recipe.defect = sim::Defect::Type03Line;
    } else if (index == 8) {
        recipe.defect = sim::Defect::OddLineCount;
    }
    return recipe;
}

}  // namespace korvane::fuzz
