#pragma once

// One soak run, decided entirely by its seed: the link, the adapter (model, mode, echo, versions),
// the update file and the faults the emulated adapter injects. The same seed always gives the
// same plan, so any run can be repeated alone with `korvane-soak --seed S --runs 1`.

#include <cstdint>
#include <string>
#include <vector>

#include "sim/adapter/adapter_settings.h"
#include "sim/update_file_writer.h"

namespace korvane::soak {

enum class LinkKind { Tcp, Pty };

// What a run puts the updater through. A run holds none, one or several of these.
enum class FaultKind {
    Noise,        // noise bytes before the echo/answer of some commands
    Nul,          // NUL bytes between the bytes of some answers
    RepPack,      // lines answered "RepPack\r" (family 2)
    RepBlock,     // pairs answered "RepBlock\r" (family 2)
    Err02,        // records answered "ERR02" (family 1)
    Silence,      // the adapter stops answering after some command
    SlowLines,    // every line or record takes long to be written, within the deadline
    LateAnswers,  // every line or record is answered after its deadline has passed
    Drop,         // the connection is dropped at some line command
    BaudRefused,  // "QX DLBD 02\r" is refused (family 1)
    Flood,        // an answer of 100,000 bytes without a prompt
    FinishError,  // "QXFL\r" is answered "ERROR" (family 2)
    Refusal,      // the adapter does not fit the file: model, ELM327 version or firmware version
    WireTime,     // bytes take their time at the link's baud rate (pty only)
    Stall,        // the link stalls once, shorter or longer than a line's deadline and grace
    Stop,         // the update is told to stop at a random moment (answers late at times)
};
inline constexpr int kFaultKinds = 16;
const char* faultName(FaultKind kind);
// Faults that break the adapter's side of the protocol: an answer comes after the updater has
// given up on it, or is buried under a flood. The updater may then send the command again
// although the adapter acted on it; it must notice the answer nobody waited for and fail rather
// than report success over an image that holds a line or record twice.
bool breaksAdapterContract(FaultKind kind);

struct RunPlan {
    std::uint64_t seed = 0;
    LinkKind link = LinkKind::Tcp;
    int family = 2;
    sim::AdapterSettings adapter;
    sim::UpdateFileRecipe recipe;
    std::vector<FaultKind> faults;  // empty: a clean run, which must succeed
    int stopAfterMs = -1;           // Stop: when the stop request is set, from the run's start

    bool has(FaultKind kind) const;
    // "tcp f2 model 3 app echo-off 42 lines: reppack(line 5 x4) silence(after 17)" and the like.
    std::string describe() const;
};

// `only`: when not empty, the plan keeps at most these fault kinds (for a focused soak).
RunPlan makeRunPlan(std::uint64_t seed, const std::vector<FaultKind>& only = {});

bool parseFaultName(const std::string& name, FaultKind& kind);

}  // namespace korvane::soak
