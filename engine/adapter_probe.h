#pragma once

#include <span>
#include <string>
#include <string_view>

#include "channel/channel.h"
#include "engine/model_code.h"

namespace korvane {

// A read-only probe: on one open channel at one line rate, finds out what is on the other end.
// It sends nothing but kProbeCommands, so whatever answers is left as it was: no reset, no echo
// change, no download mode, no rate change.

// Everything the probe may send, in the order it sends them. It stops as soon as the answers
// tell that no adapter is there.
inline constexpr std::string_view kProbeCommands[] = {"ATI\r", "QXI\r", "QXVERS\r"};

// What one answer was, judged on its own.
enum class AnswerKind {
    Text,        // printable text closed by the prompt ">", after the echo if there was one
    LonePrompt,  // the prompt and nothing else (after the echo)
    Silent,      // nothing came
    Noise,       // bytes no adapter sends (another line rate, a port that is no adapter)
    Echo,        // exactly our own bytes came back: a loop-back
    Modem,       // a modem's "OK", without the prompt
    Unfinished,  // printable, but never closed by the prompt
};

struct JudgedAnswer {
    AnswerKind kind = AnswerKind::Silent;
    // Text: the answer without the echo, the prompt and the line ends at its two ends, its inner
    // line ends as blanks.
    std::string text;
};

// Judges `heard`, what came back within the answer window after `command` was written (NUL
// bytes already dropped).
JudgedAnswer judgeAnswer(std::string_view command, std::string_view heard);

// What the probe decided.
enum class ProbeVerdict {
    Application,  // one of our adapters running its application firmware: updatable
    BootLoader,   // one of our adapters in its boot loader: updatable
    ElmOnly,      // an ELM327-type adapter that does not answer the update queries: not updatable
    Nothing,      // no adapter at this rate
};

// Why a probe found no adapter.
enum class NoAdapter {
    Silent,      // no answer
    Noise,       // only line noise: another line rate, or no adapter
    LoopBack,    // our own bytes came back
    Modem,       // answered "OK" like a modem
    NoPrompt,    // answered, but never with the prompt
    NoIdentity,  // answered with the prompt, but without any identity
};

struct ProbeFinding {
    ProbeVerdict verdict = ProbeVerdict::Nothing;
    NoAdapter nothing = NoAdapter::Silent;  // when verdict is Nothing
    ModelCode model = kModelUnknown;        // from the model catalogue; unknown otherwise
    // The catalogue's name of the model; for an ELM327-type adapter its "ATI" answer.
    std::string modelName;
    std::string deviceVersion;   // the "QXVERS" answer
    std::string adapterVersion;  // the "QXI" answer

    bool found() const { return verdict != ProbeVerdict::Nothing; }
    bool updatable() const {
        return verdict == ProbeVerdict::Application || verdict == ProbeVerdict::BootLoader;
    }
};

struct ProbeTiming {
    // How long an answer may take in all. A real adapter answers "ATI" in tens of milliseconds.
    int answerWindowMs = 300;
    // Once bytes came but no prompt yet: the answer is over when nothing more comes for this long.
    int quietGapMs = 100;
};

// The most bytes kept of one answer; more is a flood, judged as noise.
inline constexpr std::size_t kMostProbeAnswerBytes = 256;

// Probes the adapter on `channel` at the rate the channel runs at.
ProbeFinding probeAdapter(Channel& channel, const ProbeTiming& timing = {});

// A short phrase for a user: "an adapter in application mode", "line noise only", ...
const char* probeVerdictWords(ProbeVerdict verdict);
const char* noAdapterWords(NoAdapter why);

}  // namespace korvane
