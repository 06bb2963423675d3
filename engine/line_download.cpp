// The family-2 line download: the adapter is identified (application firmware) or found in its
// boot loader, put into download mode, given every file line as a "QXBL" command in pairs with
// its repeat requests honoured, and closed with "QXFL".
#include "engine/line_download.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "channel/atoi_rule.h"
#include "engine/adapter_query.h"
#include "engine/command_exchange.h"
#include "engine/flow_texts.h"
#include "engine/flows.h"
#include "engine/identification.h"
#include "engine/line_noise.h"
#include "engine/model_catalog.h"
#include "engine/text_match.h"
#include "engine/update_file.h"
#include "platform/tick.h"

namespace korvane {

const char kClosingRecordCommand[] =
    "QXBLFFF1"
    "0000000000000000000000000000000000000000000000000000000000000000"
    "0000000000000000000000000000000000000000000000000000000000000000"
    "0F\r";
static_assert(sizeof(kClosingRecordCommand) - 1 == 4 + 4 + 129 + 1 + 1);

namespace {

constexpr int kExchangeMs = 2000;
constexpr int kClosingRecordMs = 5000;
constexpr int kFinishRetryWaitMs = 200;
constexpr std::size_t kMainReplySize = 2048;
// The echo of a command is collected in the reply buffer before it is recognised and dropped, so
// a reply buffer holds at least the longest line command ("QXBL", 253 digits and CR).
constexpr std::size_t kLineReplySize = 4 + kLineCapacity + 64;

// A line is sent at most six times per pass; it must be taken within its first four sends.
constexpr int kMostSends = 6;
constexpr int kSendsInTime = 4;
// A pair goes out at most three times because the adapter asked for it again.
constexpr int kMostBlockRepeats = 3;
// A pair that fails in another way is sent again at most three times: four attempts in all.
constexpr int kMostPairResends = 3;
// The bar runs from 5 towards 95 while lines go out.
constexpr int kLastSendingProgress = 95;

constexpr char kStopFailedText[] =
    "**Failed** Request stop download fail,Upgrade again after power on!\r\n";

// The line-failure text for a sendLinePair result, with the count of lines sent so far.
void reportPairFailure(FlowContext& flow, LineResult result, int linesSent) {
    const char* format = "**Failed** Sending error on %d line!\r\n";
    if (result == LineResult::TypeNotSendable) {
        format = "**Failed** Device type error on %d line!\r\n";
    } else if (result == LineResult::UnexpectedReply) {
        format = "**Failed** Reply error on %d line!\r\n";
    } else if (result == LineResult::RepeatedThrice) {
        format = "**Failed** Repeat three times error on %d line!\r\n";
    }
    char text[96];
    std::snprintf(text, sizeof(text), format, linesSent);
    flow.reportFailure(text);
}

// The account of a pair that failed with `result` after `linesSent` lines were taken.
FailureFacts pairFailureFacts(LineResult result, int linesSent) {
    FailureFacts facts;
    facts.step =
        LineResult::StrayAnswer == result ? FailureStep::StrayAnswer : FailureStep::LinesNotTaken;
    facts.command = "QXBL";
    facts.number = linesSent;
    facts.lineResult = result;
    return facts;
}

// The sendLinePair result for a failed send: the stray answer stops the download.
LineResult sendFailure(ExchangeResult result) {
    return result == ExchangeResult::StrayAnswer ? LineResult::StrayAnswer : LineResult::SendFailed;
}

LineResult takenAt(int sends) {
    return sends <= kSendsInTime ? LineResult::Accepted : LineResult::NotTakenInTime;
}

// Line A of a pair: Accepted when taken within its first four sends, else a sendLinePair result.
LineResult sendFirstLine(Channel& channel, const HexLine& line, char* reply, ExactlyOnce& once) {
    for (int sends = 1; sends <= kMostSends; ++sends) {
        if (!lineTypeSendable(line)) {
            return LineResult::TypeNotSendable;
        }
        const ExchangeReply sent = sendLine(channel, line.text, reply, kLineReplySize, once);
        if (!sent.answered()) {
            return sendFailure(sent.result);
        }
        if (contains(reply, "...\r")) {
            return takenAt(sends);
        }
        if (!contains(reply, "RepPack\r")) {
            return LineResult::UnexpectedReply;
        }
    }
    return LineResult::NotTakenInTime;
}

// Line B of a pair: Accepted when finished ("OK\r" or "RepBlock\r", the answer left in `reply`)
// within its first four sends, else a sendLinePair result.
LineResult sendSecondLine(Channel& channel, const HexLine& line, char* reply, ExactlyOnce& once) {
    for (int sends = 1; sends <= kMostSends; ++sends) {
        if (!lineTypeSendable(line)) {
            return LineResult::TypeNotSendable;
        }
        const ExchangeReply sent = sendLine(channel, line.text, reply, kLineReplySize, once);
        if (!sent.answered()) {
            return sendFailure(sent.result);
        }
        if (contains(reply, "RepPack\r")) {
            continue;
        }
        if (contains(reply, "OK\r") || contains(reply, "RepBlock\r")) {
            return takenAt(sends);
        }
        return LineResult::UnexpectedReply;
    }
    return LineResult::NotTakenInTime;
}

// The leading number of a version text without its dots, by the atoi rule ("2.3" gives 23).
int dotlessNumber(const char* version) {
    char digits[8];
    std::snprintf(digits, sizeof(digits), "%s", version);
    removeChar(digits, '.');
    return atoiRule(digits);
}

}  // namespace

bool lineTypeSendable(const HexLine& line) {
    return line.fits() && line.text[0] == '0' &&
           (line.text[1] == '0' || line.text[1] == '1' || line.text[1] == '2');
}

ExchangeReply requestStart(Channel& channel, char* reply, std::size_t replySize) {
    return exchangeWithRetry(channel, "QXUPDT03\r", reply, replySize, kExchangeMs, kExchangeMs);
}

ExchangeReply sendLine(Channel& channel, const char* line, char* reply, std::size_t replySize,
                       ExactlyOnce& once) {
    // "QXBL", up to 253 digits after the type, CR and the terminator.
    char command[4 + kLineCapacity + 2];
    const char* body = (line[0] != '\0' && line[1] != '\0') ? line + 2 : "";
    std::snprintf(command, sizeof(command), "QXBL%s\r", body);
    return exchangeWithRetry(channel, command, reply, replySize, kExchangeMs, kExchangeMs, once);
}

ExchangeReply sendLine(Channel& channel, const char* line, char* reply, std::size_t replySize) {
    ExactlyOnce once;
    return sendLine(channel, line, reply, replySize, once);
}

LineResult sendLinePair(Channel& channel, const LinePair& pair) {
    ExactlyOnce once;
    return sendLinePair(channel, pair, once);
}

LineResult sendLinePair(Channel& channel, const LinePair& pair, ExactlyOnce& once) {
    char reply[kLineReplySize] = {};
    for (int blockRepeats = 0;;) {
        LineResult result = sendFirstLine(channel, pair.a, reply, once);
        if (result != LineResult::Accepted) {
            return result;
        }
        result = sendSecondLine(channel, pair.b, reply, once);
        if (result != LineResult::Accepted) {
            return result;
        }
        if (!contains(reply, "RepBlock\r")) {
            return LineResult::Accepted;
        }
        if (++blockRepeats >= kMostBlockRepeats) {
            return LineResult::RepeatedThrice;
        }
    }
}

LineResult sendAllLines(FlowContext& flow, Channel& channel, const std::uint8_t* data,
                        std::int32_t size, double progressStep) {
    std::int32_t position = 0;
    int linesSent = 0;
    int failedAttempts = 0;
    bool resend = false;
    LinePair pair;
    LineResult failure = LineResult::FailedFourTimes;
    ExactlyOnce once;
    FailureFacts lastFacts;

    for (;;) {
        if (flow.stopRequested()) {
            return LineResult::Stopped;
        }
        if (!resend) {
            if (position >= size) {
                return LineResult::Accepted;
            }
            position = readHexLine(data, size, position, pair.a.text, kLineCapacity, pair.a.digits);
            if (position >= size) {
                // The last line of a file with an odd number of lines is not sent.
                return LineResult::Accepted;
            }
            position = readHexLine(data, size, position, pair.b.text, kLineCapacity, pair.b.digits);
        }

        const LineResult result = sendLinePair(channel, pair, once);
        if (result == LineResult::Accepted) {
            linesSent += 2;
            int progress = static_cast<int>(linesSent * progressStep + 5.0);
            if (progress > kLastSendingProgress) {
                progress = kLastSendingProgress;
            }
            flow.reportProgress(progress);
            failedAttempts = 0;
            resend = false;
            continue;
        }
        reportPairFailure(flow, result, linesSent);
        lastFacts = pairFailureFacts(result, linesSent);
        if (result == LineResult::StrayAnswer || result == LineResult::RepeatedThrice) {
            // A stray answer: the adapter acted on a line command whose answer nobody waited for,
            // so it may hold a line twice, and no resend can tell or mend that.
            failure = result;
            break;
        }
        if (++failedAttempts > kMostPairResends) {
            failure = LineResult::FailedFourTimes;
            break;
        }
        resend = true;
    }
    // A pair that was never accepted is a failed download, also when it held the last lines of
    // the file: the adapter lacks those lines, so closing the download as a success would leave
    // it with incomplete firmware while the user is told the update finished.
    flow.noteFailure(lastFacts);
    return failure;
}

LineResult finishDownload(Channel& channel) {
    const ExchangeResult sent = sendCommandAfterStrayCheck(channel, "QXFL\r", kExchangeMs);
    if (sent != ExchangeResult::Sent) {
        return sent == ExchangeResult::StrayAnswer ? LineResult::StrayAnswer : LineResult::NoAnswer;
    }
    char reply[kLineReplySize] = {};
    if (!readPromptReply(channel, reply, sizeof(reply), kExchangeMs).answered()) {
        return LineResult::NoAnswer;
    }
    // The answer keeps its echo, so an adapter that echoes the command fails this test and the
    // download is closed by recoverFinish.
    return std::strncmp(reply, "OK", 2) == 0 ? LineResult::Accepted : LineResult::Refused;
}

LineResult recoverFinish(Channel& channel) {
    char reply[kLineReplySize] = {};
    return recoverFinish(channel, reply, sizeof(reply));
}

LineResult recoverFinish(Channel& channel, char* reply, std::size_t replySize) {
    if (!exchangeCommand(channel, kClosingRecordCommand, reply, replySize, kClosingRecordMs,
                         kClosingRecordMs)
             .answered()) {
        return LineResult::NoAnswer;
    }
    if (!contains(reply, "OK")) {
        return LineResult::Refused;
    }
    if (!exchangeCommand(channel, "QXFL\r", reply, replySize, kExchangeMs, kExchangeMs)
             .answered()) {
        return LineResult::NoAnswer;
    }
    return contains(reply, "OK") ? LineResult::Accepted : LineResult::Refused;
}

AtiVersionResult adjustAtiVersion(FlowContext& flow, Channel& channel, int deviceCode) {
    const ModelRow* model = findModel(deviceCode);
    if (model == nullptr) {
        return AtiVersionResult::UnknownModel;
    }
    const AtiVersionSetting& setting = *model->atiSetting;

    char reply[kLineReplySize] = {};
    queryAdapter(flow, channel, setting.query, reply, sizeof(reply));
    dropEcho(reply, setting.query);
    if (contains(reply, "ELM327")) {
        queryAdapter(flow, channel, setting.query, reply, sizeof(reply));
        dropEcho(reply, setting.query);
    }
    char* found = std::strchr(reply, setting.letter);
    if (found == nullptr) {
        return AtiVersionResult::NoVersionLetter;
    }
    char* versionText = found + 1;
    // Up to three characters and the prompt, for example 2.3 and ">".
    if (std::strlen(versionText) > 4) {
        return AtiVersionResult::VersionTooLong;
    }
    removeChar(versionText, '>');
    char version[8];
    std::snprintf(version, sizeof(version), "%s", versionText);
    // The lowest version is the adapter's own model's.
    const char* lowest = model->lowestAtiVersion;
    if (dotlessNumber(version) < dotlessNumber(lowest)) {
        std::snprintf(version, sizeof(version), "%s", lowest);
    }

    char command[48];
    std::snprintf(command, sizeof(command), "%s%s\r", setting.setCommand, version);
    reply[0] = '\0';
    sendCommand(channel, command, kExchangeMs);
    readPromptReply(channel, reply, sizeof(reply), kExchangeMs);
    return contains(reply, setting.confirmation) ? AtiVersionResult::Set
                                                 : AtiVersionResult::NotConfirmed;
}

namespace {

// "ATI": an ELM327 identity means application firmware, none the boot loader, which is then asked
// into download mode at once. False after the failure is reported.
bool connectAdapter(FlowContext& flow, Channel& channel, AdapterFacts& adapter) {
    char reply[kMainReplySize] = {};
    const bool answered =
        exchangeCommand(channel, "ATI\r", reply, sizeof(reply), kExchangeMs, kExchangeMs)
            .answered();
    // Noise is no answer, least of all a boot loader's: the adapter may talk at another rate.
    if (answered && isLineNoise(reply)) {
        flow.noteLineNoise("ATI\r");
    }
    if (!answered || isLineNoise(reply)) {
        flow.reportFailure(kPowerOnText);
        return false;
    }
    flow.reportProgress(3);

    adapter.appMode = contains(reply, "ELM327 ");
    if (adapter.application()) {
        reportDeviceVersion(flow, channel, adapter.modelCode);
    } else if (!flow.enterDownloadMode(adapter)) {
        return false;
    } else {
        const ExchangeReply started =
            exchangeCommand(channel, "QXUPDT03\r", reply, sizeof(reply), kExchangeMs, kExchangeMs);
        if (!started.answered() || !contains(reply, "OK")) {
            if (started.answered()) {
                flow.noteDownloadModeRefused();
            }
            flow.noteFailure({FailureStep::BootLoaderRefused, "QXUPDT03", reply, 0, {}, {}});
            flow.reportFailure("**Failed** Device connection error!\r\n");
            flow.reportFailure(kPowerOnText);
            return false;
        }
    }
    flow.reportText("Device connection ok!\r\n");
    flow.reportProgress(4);
    return true;
}

// An adapter in its application firmware: its identity, its ELM327 version and its firmware
// version. False after the refusal is reported.
bool passGates(FlowContext& flow, Channel& channel, AdapterFacts& adapter) {
    if (identifyModel(flow, channel, adapter.modelCode, adapter) == GateResult::ModelMismatch) {
        flow.reportFailure(kModelMismatchText);
        return false;
    }
    if (checkElmVersion(flow, channel, adapter.deviceCode) == GateResult::ElmVersionTooNew) {
        flow.reportFailure(
            "This software version is too low, please download the latest software version.!\r\n");
        return false;
    }
    return gateVersion(flow, channel, adapter.modelCode, flow.file().fileVersion) !=
           GateResult::Refused;
}

// Download mode, then the start request. False after the failure is reported.
bool startDownload(FlowContext& flow, Channel& channel, const AdapterFacts& adapter) {
    if (!flow.enterDownloadMode(adapter)) {
        return false;
    }
    char reply[kMainReplySize] = {};
    if (!requestStart(channel, reply, sizeof(reply)).answered()) {
        flow.noteFailure({FailureStep::StartNotTaken, "QXUPDT03", reply, 0, {}, {}});
        flow.reportFailure("**Failed** Request start download fail!\r\n");
        return false;
    }
    flow.reportProgress(5);
    return true;
}

// Every line of the file, then "QXFL" (or the closing record when that is not taken). False after
// the failure is reported.
bool sendAndFinish(FlowContext& flow, Channel& channel) {
    const UpdateFile& file = flow.file();
    const std::int32_t size = std::min(file.size, static_cast<std::int32_t>(file.data.size()));
    if (sendAllLines(flow, channel, file.data.data(), size, file.progressStep) !=
        LineResult::Accepted) {
        flow.reportFailure(kStopFailedText);
        return false;
    }
    flow.reportProgress(99);

    const LineResult finished = finishDownload(channel);
    if (finished == LineResult::StrayAnswer) {
        flow.noteFailure({FailureStep::StrayAnswer, "QXFL", {}, 0, {}, {}});
        // An answer to a line came after the last one was taken: the adapter may hold it twice.
        // Closing the download would make that image its firmware.
        flow.reportFailure(kStopFailedText);
        return false;
    }
    if (finished != LineResult::Accepted) {
        sleepMs(kFinishRetryWaitMs);
        char answer[kLineReplySize] = {};
        if (recoverFinish(channel, answer, sizeof(answer)) != LineResult::Accepted) {
            flow.noteFailure({FailureStep::FinishNotTaken, "QXFL", answer, 0, {}, {}});
            flow.reportFailure(kStopFailedText);
            return false;
        }
    }
    return true;
}

}  // namespace

FlowOutcome runLineDownload(FlowContext& flow, Channel& channel) {
    FlowOutcome outcome;
    AdapterFacts& adapter = outcome.adapter;
    const std::optional<ModelCode> model = lookupModelName(flow.file().modelName);
    if (!model) {
        flow.noteFailure({FailureStep::UnknownFileModel, {}, {}, 0, {}, flow.file().modelName});
        flow.reportFailure(kFormatErrorText);
        return outcome;
    }
    adapter.modelCode = *model;
    if (!connectAdapter(flow, channel, adapter) ||
        (adapter.application() && !passGates(flow, channel, adapter)) ||
        !startDownload(flow, channel, adapter) || !sendAndFinish(flow, channel)) {
        return outcome;
    }
    if (adapter.application()) {
        adjustAtiVersion(flow, channel, adapter.deviceCode);
        reportDeviceVersion(flow, channel, adapter.modelCode);
    }
    outcome.result = FlowResult::Completed;
    return outcome;
}

}  // namespace korvane
