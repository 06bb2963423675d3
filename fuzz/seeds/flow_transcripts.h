#pragma once

// Seeds for the flows fuzz target: whole updates and version read-outs run against the emulated
// adapter (in process, on the virtual clock), recording every byte the updater read. Replayed as
// a fuzz input's stream, such a transcript walks the flows along a real conversation, so the
// fuzzer starts from deep paths (identification, gating, lines, records, the fast link) instead
// of having to guess them.

#include <string>
#include <vector>

namespace korvane::fuzz {

struct NamedSeed {
    std::string name;
    std::string bytes;
};

std::vector<NamedSeed> flowTranscriptSeeds();

}  // namespace korvane::fuzz
