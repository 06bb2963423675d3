// The family-1 block download: the file's model is matched against the adapter's, the adapter is
// put into download mode for its model, the serial link is raised to 2 Mbps when the adapter
// agrees, every data record goes out as one "QXDLDT" command, "QXDLED" closes the download, and
// after 2000 ms the link returns to 115200 baud.
#include "engine/block_download.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/command_exchange.h"
#include "engine/flow_texts.h"
#include "engine/flows.h"
#include "engine/line_noise.h"
#include "engine/model_catalog.h"
#include "engine/text_match.h"
#include "engine/update_file.h"
#include "platform/tick.h"

namespace korvane {

namespace {

constexpr int kCommandMs = 2000;
constexpr int kSwitchMs = 5000;
constexpr int kRecordMs = 5000;
constexpr int kAfterDownloadWaitMs = 2000;
constexpr int kMostTries = 3;
constexpr std::size_t kMainReplySize = 2048;
constexpr std::size_t kReplySize = 256;
// The echo of a command is collected in the reply buffer before it is recognised and dropped, so
// the reply buffer of a record holds at least the longest record command (273 characters).
constexpr std::size_t kRecordReplySize = 6 + kMaxFamily1Digits + 64;

// The end of the download: "QXDLED", the wait, the return to 115200 and the new version.
// `success` is the result when all of it went through.
BlockResult closeDownload(FlowContext& flow, Channel& channel, ModelCode model, BlockResult success,
                          ExactlyOnce& once) {
    if (endDownload(channel, once) != BlockResult::Accepted) {
        flow.noteFailure({FailureStep::EndNotTaken, "QXDLED", {}, 0, {}, {}});
        flow.reportFailure("**Failed** Request stop download fail!\r\n");
        return BlockResult::EndNotAccepted;
    }
    sleepMs(kAfterDownloadWaitMs);
    channel.setBaudRate(kNormalLinkBaud);
    reportDeviceVersion(flow, channel, model);
    return success;
}

// A family-1 model as a reason names it: its download command without "QXDL" and CR.
std::string modelNameOf(int code) {
    const ModelRow* model = findModel(code);
    if (model == nullptr || model->downloadCommand == nullptr) {
        return "model this program does not know";
    }
    const std::string command = model->downloadCommand;
    return command.substr(4, command.size() - 5);
}

}  // namespace

bool recordIsSound(const char* text, std::size_t digits) {
    std::uint8_t bytes[(kMaxFamily1Digits + 1) / 2];
    std::size_t dataLength = 0;
    return decodeFamily1Record(text, digits, 2, bytes, dataLength);
}

LinkSwitchResult switchToFastLink(Channel& channel, int rate) {
    char reply[kReplySize] = {};
    if (!exchangeCommandLine(channel, "QX DLBD 02\r", reply, sizeof(reply), kSwitchMs, kSwitchMs)
             .answered()) {
        return LinkSwitchResult::NoAnswer;
    }
    if (!contains(reply, "OK")) {
        return LinkSwitchResult::Declined;
    }
    if (channel.setBaudRate(rate) < 0) {
        return LinkSwitchResult::RateRefused;
    }
    // At the new rate the adapter announces itself with one line.
    reply[0] = '\0';
    if (!readReplyLine(channel, reply, sizeof(reply), kSwitchMs).answered()) {
        channel.setBaudRate(kNormalLinkBaud);
        return LinkSwitchResult::NoAnnouncement;
    }
    if (!contains(reply, kFastLinkAnnouncement)) {
        channel.setBaudRate(kNormalLinkBaud);
        return LinkSwitchResult::WrongAnnouncement;
    }
    if (sendCommand(channel, "\r", kCommandMs) != ExchangeResult::Sent) {
        return LinkSwitchResult::ConfirmationNotSent;
    }
    reply[0] = '\0';
    if (!readPromptReply(channel, reply, sizeof(reply), kCommandMs).answered()) {
        return LinkSwitchResult::NoConfirmation;
    }
    return contains(reply, "OK") ? LinkSwitchResult::Switched : LinkSwitchResult::NotConfirmed;
}

BlockResult sendRecord(Channel& channel, const char* recordText, bool appMode) {
    ExactlyOnce once;
    return sendRecord(channel, recordText, appMode, once);
}

BlockResult sendRecord(Channel& channel, const char* recordText, bool appMode, ExactlyOnce& once) {
    if (std::strlen(recordText) > kMaxFamily1Digits) {
        return BlockResult::RecordTooLong;
    }
    char command[6 + kMaxFamily1Digits + 2];
    std::snprintf(command, sizeof(command), "QXDLDT%s\r", recordText);
    char reply[kRecordReplySize];
    const int graceMs = once.graceMs;
    for (int tries = 0; tries < kMostTries; ++tries) {
        reply[0] = '\0';
        // Only the first try waits out a late answer: one after a resend is a second copy anyway.
        once.graceMs = tries == 0 ? graceMs : 0;
        const ExchangeReply sent =
            exchangeCommand(channel, command, reply, sizeof(reply), kRecordMs, kRecordMs, once);
        once.graceMs = graceMs;
        if (sent.result == ExchangeResult::StrayAnswer) {
            return BlockResult::StrayAnswer;
        }
        if (contains(reply, "OK\r")) {
            if (sent.answered()) {
                return BlockResult::Accepted;
            }
            return sent.result == ExchangeResult::TimedOut ? BlockResult::NotAccepted
                                                           : BlockResult::AnswerBrokenOff;
        }
        if (appMode && contains(reply, "ERR02")) {
            return BlockResult::DataRefused;
        }
    }
    return BlockResult::NotAccepted;
}

BlockResult endDownload(Channel& channel) {
    ExactlyOnce once;
    return endDownload(channel, once);
}

BlockResult endDownload(Channel& channel, ExactlyOnce& once) {
    char reply[kReplySize];
    const int graceMs = once.graceMs;
    for (int tries = 0; tries < kMostTries; ++tries) {
        reply[0] = '\0';
        // Only the first try waits out a late answer: one after a resend is a second copy anyway.
        once.graceMs = tries == 0 ? graceMs : 0;
        const ExchangeReply sent = exchangeCommandLine(channel, "QXDLED\r", reply, sizeof(reply),
                                                       kCommandMs, kCommandMs, once);
        once.graceMs = graceMs;
        if (sent.result == ExchangeResult::StrayAnswer) {
            return BlockResult::StrayAnswer;
        }
        if (contains(reply, "OK\r")) {
            return sent.answered() ? BlockResult::Accepted : BlockResult::NotAccepted;
        }
    }
    return BlockResult::NotAccepted;
}

namespace {

// The texts and the account of a record the adapter did not take; `number` counts from 1.
void reportRecordNotTaken(FlowContext& flow, BlockResult result, int number) {
    // A stray answer: the adapter acted on a record command whose answer nobody waited for, so
    // it may hold a record twice. The download stops here.
    flow.noteFailure({result == BlockResult::StrayAnswer ? FailureStep::StrayAnswer
                                                         : FailureStep::RecordNotTaken,
                      "QXDLDT",
                      {},
                      number,
                      {},
                      {}});
    char failure[64];
    std::snprintf(failure, sizeof(failure), "**Failed** Sending error on %d line!\r\n", number);
    flow.reportFailure(failure);
}

}  // namespace

BlockResult sendBlocks(FlowContext& flow, Channel& channel, const std::uint8_t* data,
                       std::int32_t size, const AdapterFacts& adapter) {
    int recordsSent = 0;
    std::int32_t position = 0;
    const double step = flow.file().progressStep;
    flow.reportProgress(4);

    if (switchToFastLink(channel, kFastLinkBaud) == LinkSwitchResult::Switched) {
        flow.reportText("Change the baud rate to 2Mbps!\r\n");
    }

    char text[kMaxFamily1Digits + 1];
    ExactlyOnce once;
    for (;;) {
        if (flow.stopRequested()) {
            return BlockResult::Stopped;
        }
        if (position >= size) {
            break;
        }
        std::size_t digits = 0;
        position = readHexLine(data, size, position, text, sizeof(text), digits);
        if (std::strncmp(text, "FFF1", 4) == 0) {
            // The information record and whatever follows it are never sent.
            break;
        }
        if (!recordIsSound(text, digits)) {
            flow.reportFailure(kFileInvalidText);
            return BlockResult::RecordDamaged;
        }
        const BlockResult result = sendRecord(channel, text, adapter.application(), once);
        if (result == BlockResult::Accepted) {
            ++recordsSent;
            flow.reportProgress(static_cast<int>(recordsSent * step + 5.0));
            continue;
        }
        if (result == BlockResult::NotAccepted || result == BlockResult::StrayAnswer) {
            reportRecordNotTaken(flow, result, recordsSent + 1);
            return result;
        }
        if (result == BlockResult::DataRefused || result == BlockResult::RecordTooLong) {
            // The adapter refused the data: the download is still closed properly.
            flow.noteFailure({FailureStep::RecordRefused, "QXDLDT", {}, recordsSent + 1, {}, {}});
            flow.reportFailure(kFileInvalidText);
            return closeDownload(flow, channel, adapter.modelCode, result, once);
        }
        return result;
    }
    return closeDownload(flow, channel, adapter.modelCode, BlockResult::Accepted, once);
}

namespace {

// "QXVERS": the adapter's model, when it names one, must be the file's; an adapter that names its
// model runs its application firmware. False after the failure is reported.
bool matchAdapterModel(FlowContext& flow, Channel& channel, AdapterFacts& adapter) {
    char reply[kMainReplySize] = {};
    const bool versionAnswered =
        exchangeCommand(channel, "QXVERS\r", reply, sizeof(reply), kCommandMs, kCommandMs)
            .answered();
    // Noise is no answer: the adapter may talk at another rate.
    if (versionAnswered && isLineNoise(reply)) {
        flow.noteLineNoise("QXVERS\r");
    }
    if (!versionAnswered || isLineNoise(reply)) {
        flow.reportFailure(kPowerOnText);
        return false;
    }
    adapter.deviceCode = adapterModelFromReply(reply);
    adapter.modelCode = family1ModelCode(flow.file().modelName);
    if (adapter.deviceCode != kModelUnknown && adapter.deviceCode != adapter.modelCode) {
        flow.noteFailure({FailureStep::AdapterModelMismatch, "QXVERS", reply, 0,
                          modelNameOf(adapter.deviceCode), modelNameOf(adapter.modelCode)});
        flow.reportFailure(kModelMismatchText);
        return false;
    }
    if (adapter.deviceCode != kModelUnknown) {
        adapter.appMode = true;
        reportDeviceVersion(flow, channel, adapter.modelCode);
    }
    return true;
}

// The models' download-mode commands in turn, until one is answered "OK": the model that took
// it, or none; `answered` turns false when a command went unanswered (the last answer is in
// `reply`).
const ModelRow* takeDownloadMode(Channel& channel, char* reply, std::size_t replySize,
                                 bool& answered) {
    for (const ModelRow& model : modelCatalog()) {
        if (model.downloadCommand == nullptr) {
            continue;
        }
        reply[0] = '\0';
        if (!exchangeCommand(channel, model.downloadCommand, reply, replySize, kCommandMs,
                             kCommandMs)
                 .answered()) {
            answered = false;
            return nullptr;
        }
        if (beginsWith(reply, "OK", 2)) {
            return &model;
        }
    }
    return nullptr;
}

// Download mode for the adapter's model, which must be the file's. False after the failure is
// reported.
bool enterModelDownloadMode(FlowContext& flow, Channel& channel, AdapterFacts& adapter) {
    if (!flow.enterDownloadMode(adapter)) {
        return false;
    }
    char reply[kMainReplySize] = {};
    bool answered = true;
    const ModelRow* entered = takeDownloadMode(channel, reply, sizeof(reply), answered);
    if (entered == nullptr) {
        if (answered) {
            // Each command was answered without "OK": the adapter stayed as it was.
            flow.noteDownloadModeRefused();
            flow.noteFailure({FailureStep::DownloadModeRefused,
                              "QXDLZNB540 and QXDLZNB6730",
                              reply,
                              0,
                              {},
                              modelNameOf(adapter.modelCode)});
        }
        flow.reportFailure(kPowerOnText);
        return false;
    }
    adapter.deviceCode = entered->code;
    if (adapter.modelCode != adapter.deviceCode) {
        std::string command = entered->downloadCommand;
        command.pop_back();  // its CR
        flow.noteFailure({FailureStep::LearnedModelMismatch, command, reply, 0,
                          modelNameOf(adapter.deviceCode), modelNameOf(adapter.modelCode)});
        flow.reportFailure(kModelMismatchText);
        return false;
    }
    return true;
}

}  // namespace

FlowOutcome runBlockDownload(FlowContext& flow, Channel& channel) {
    FlowOutcome outcome;
    AdapterFacts& adapter = outcome.adapter;
    if (!matchAdapterModel(flow, channel, adapter) ||
        !enterModelDownloadMode(flow, channel, adapter)) {
        return outcome;
    }
    flow.reportProgress(3);

    const UpdateFile& file = flow.file();
    const std::int32_t size = std::min(file.size, static_cast<std::int32_t>(file.data.size()));
    if (sendBlocks(flow, channel, file.data.data(), size, adapter) == BlockResult::Accepted) {
        outcome.result = FlowResult::Completed;
        return outcome;
    }
    flow.reportFailure(kPowerOnText);
    flow.reportFailure(kPowerOnText);
    return outcome;
}

}  // namespace korvane
