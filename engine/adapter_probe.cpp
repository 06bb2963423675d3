// The read-only probe: "ATI", then the two version queries, each answer judged before the next is
// asked. No bare CR: an ELM327 interpreter repeats its last command on one, and the last command
// may have come from another program (a reset, a request on the vehicle bus).
#include "engine/adapter_probe.h"

#include <cstdint>
#include <string>

#include "engine/line_noise.h"
#include "engine/model_catalog.h"
#include "engine/text_match.h"
#include "platform/tick.h"

namespace korvane {

namespace {

constexpr int kWriteTimeoutMs = 300;

// What came back after one command.
struct Heard {
    std::string bytes;
    bool overlong = false;
    bool writeFailed = false;
};

// Writes `command`, then keeps what comes back until the prompt, until the line has been quiet
// for the quiet gap after the last byte, or until the answer window closes.
Heard ask(Channel& channel, std::string_view command, const ProbeTiming& timing) {
    Heard heard;
    channel.purge();
    if (!channel.write(reinterpret_cast<const std::uint8_t*>(command.data()),
                       static_cast<int>(command.size()), kWriteTimeoutMs)) {
        heard.writeFailed = true;
        return heard;
    }
    const Deadline window(timing.answerWindowMs);
    while (!window.expired()) {
        int wait = window.remainingMs();
        if (!heard.bytes.empty() && timing.quietGapMs < wait) {
            wait = timing.quietGapMs;
        }
        std::uint8_t byte = 0;
        if (channel.read(&byte, 1, wait) != ReadResult::Read) {
            break;
        }
        if (byte == 0) {
            continue;
        }
        if (heard.bytes.size() == kMostProbeAnswerBytes) {
            heard.overlong = true;
            break;
        }
        heard.bytes += static_cast<char>(byte);
        if (byte == '>') {
            break;
        }
    }
    return heard;
}

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

std::string_view trimLineEnds(std::string_view text) {
    while (!text.empty() && isLineEnd(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isLineEnd(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Inner line ends become one blank each run, so that an answer prints as one line.
std::string oneLine(std::string_view text) {
    std::string line;
    bool gap = false;
    for (const char c : text) {
        if (isLineEnd(c)) {
            gap = true;
            continue;
        }
        if (gap && !line.empty()) {
            line += ' ';
        }
        gap = false;
        line += c;
    }
    return line;
}

// Whether the lines of `text` include one that reads "OK".
bool hasOkLine(std::string_view text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = start;
        while (end < text.size() && !isLineEnd(text[end])) {
            ++end;
        }
        if (text.substr(start, end - start) == "OK") {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// The family-2 model whose identity the "QXI" answer begins with.
const ModelRow* lineModelOfIdentity(const std::string& answer) {
    for (const ModelRow& row : modelCatalog()) {
        if (row.family != 2) {
            continue;
        }
        for (const char* identity : row.identities) {
            if (identity != nullptr && beginsWith(answer.c_str(), identity)) {
                return &row;
            }
        }
    }
    return nullptr;
}

const char* catalogueName(const ModelRow& row) {
    return row.family == 1 ? row.adapterModel : row.fileModel;
}

ProbeFinding nothing(NoAdapter why) {
    ProbeFinding finding;
    finding.nothing = why;
    return finding;
}

// The reason of an answer that is not text.
NoAdapter reasonOf(AnswerKind kind) {
    switch (kind) {
        case AnswerKind::Silent:
            return NoAdapter::Silent;
        case AnswerKind::Noise:
            return NoAdapter::Noise;
        case AnswerKind::Echo:
            return NoAdapter::LoopBack;
        case AnswerKind::Modem:
            return NoAdapter::Modem;
        case AnswerKind::Unfinished:
            return NoAdapter::NoPrompt;
        case AnswerKind::Text:
        case AnswerKind::LonePrompt:
            break;
    }
    return NoAdapter::NoIdentity;
}

JudgedAnswer ask(Channel& channel, std::string_view command, const ProbeTiming& timing,
                 bool& linkFailed) {
    const Heard heard = ask(channel, command, timing);
    linkFailed = heard.writeFailed;
    if (heard.overlong) {
        return {AnswerKind::Noise, {}};
    }
    return judgeAnswer(command, heard.bytes);
}

}  // namespace

JudgedAnswer judgeAnswer(std::string_view command, std::string_view heard) {
    if (heard.empty()) {
        return {AnswerKind::Silent, {}};
    }
    if (isLineNoise(heard)) {
        return {AnswerKind::Noise, {}};
    }
    if (heard == command) {
        return {AnswerKind::Echo, {}};
    }
    std::string_view body = heard;
    if (body.substr(0, command.size()) == command) {
        body.remove_prefix(command.size());
    }
    body = trimLineEnds(body);
    if (body.empty() || body.back() != '>') {
        return {hasOkLine(body) ? AnswerKind::Modem : AnswerKind::Unfinished, {}};
    }
    body.remove_suffix(1);
    body = trimLineEnds(body);
    if (body.empty()) {
        return {AnswerKind::LonePrompt, {}};
    }
    return {AnswerKind::Text, oneLine(body)};
}

ProbeFinding probeAdapter(Channel& channel, const ProbeTiming& timing) {
    bool linkFailed = false;
    JudgedAnswer ati = ask(channel, kProbeCommands[0], timing, linkFailed);
    if (linkFailed) {
        return nothing(NoAdapter::Silent);
    }
    if (ati.kind == AnswerKind::Text && ati.text == "?") {
        // A partial line left in the adapter (noise heard while we tried other rates) spoils the
        // first query; its CR has ended that line, so the second is heard whole. A boot loader
        // answers "?" again.
        ati = ask(channel, kProbeCommands[0], timing, linkFailed);
    }
    if (ati.kind != AnswerKind::Text) {
        return nothing(reasonOf(ati.kind));
    }
    if (ati.text == "OK") {
        return nothing(NoAdapter::Modem);
    }
    const JudgedAnswer qxi = ask(channel, kProbeCommands[1], timing, linkFailed);
    if (!contains(ati.text.c_str(), "ELM327")) {
        // The boot loader has no ELM327 interpreter; it still closes every answer with the
        // prompt. Two such answers in a row are not chance.
        if (qxi.kind != AnswerKind::Text || qxi.text == "OK" ||
            contains(qxi.text.c_str(), "ELM327")) {
            return nothing(NoAdapter::NoIdentity);
        }
        ProbeFinding finding;
        finding.verdict = ProbeVerdict::BootLoader;
        return finding;
    }
    const JudgedAnswer qxvers = ask(channel, kProbeCommands[2], timing, linkFailed);
    ProbeFinding finding;
    const ModelRow* row = qxi.kind == AnswerKind::Text ? lineModelOfIdentity(qxi.text) : nullptr;
    if (row == nullptr && qxvers.kind == AnswerKind::Text) {
        row = findModel(adapterModelFromReply(qxvers.text.c_str()));
    }
    if (row == nullptr) {
        finding.verdict = ProbeVerdict::ElmOnly;
        finding.modelName = ati.text;
        return finding;
    }
    finding.verdict = ProbeVerdict::Application;
    finding.model = row->code;
    finding.modelName = catalogueName(*row);
    finding.adapterVersion = qxi.text;
    finding.deviceVersion = qxvers.kind == AnswerKind::Text ? qxvers.text : std::string();
    return finding;
}

const char* probeVerdictWords(ProbeVerdict verdict) {
    switch (verdict) {
        case ProbeVerdict::Application:
            return "application";
        case ProbeVerdict::BootLoader:
            return "boot loader";
        case ProbeVerdict::ElmOnly:
            return "ELM327-type adapter without the update commands, not updatable";
        case ProbeVerdict::Nothing:
            break;
    }
    return "no adapter";
}

const char* noAdapterWords(NoAdapter why) {
    switch (why) {
        case NoAdapter::Silent:
            return "no answer";
        case NoAdapter::Noise:
            return "line noise only";
        case NoAdapter::LoopBack:
            return "our own bytes came back: a loop-back, not an adapter";
        case NoAdapter::Modem:
            return "answers \"OK\" like a modem, not an adapter";
        case NoAdapter::NoPrompt:
            return "answers, but never with an adapter's prompt \">\"";
        case NoAdapter::NoIdentity:
            break;
    }
    return "answers with the prompt but without an adapter's identity";
}

}  // namespace korvane
