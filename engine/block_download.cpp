// The family-1 block download: the file's model is matched against the adapter's, the adapter is
// put into download mode for its model, the serial link is raised to 2 Mbps when the adapter
// agrees, every data record goes out as one "QXDLDT" command, "QXDLED" closes the download, and
// after 2000 ms the link returns to 115200 baud.
#include "engine/block_download.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "channel/tick.h"
#include "engine/command_exchange.h"
#include "engine/flow_texts.h"
#include "engine/flows.h"
#include "engine/model_catalog.h"
#include "engine/text_match.h"
#include "engine/update_file.h"
#include "engine/update_job.h"

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
int closeDownload(UpdateJob& job, Channel& channel, int success, ExactlyOnce& once) {
    if (endDownload(channel, once) < 0) {
        job.reportFailure("**Failed** Request stop download fail!\r\n");
        return -3;
    }
    sleepMs(kAfterDownloadWaitMs);
    channel.setBaudRate(kNormalLinkBaud);
    reportDeviceVersion(job, channel, job.modelCode);
    return success;
}

}  // namespace

bool recordIsSound(const char* text, std::size_t digits) {
    std::uint8_t bytes[(kMaxFamily1Digits + 1) / 2];
    std::size_t dataLength = 0;
    return decodeFamily1Record(text, digits, 2, bytes, dataLength);
}

int switchToFastLink(Channel& channel, int rate) {
    char reply[kReplySize] = {};
    if (exchangeCommandLine(channel, "QX DLBD 02\r", reply, sizeof(reply), kSwitchMs, kSwitchMs) <
        0) {
        return -1;
    }
    if (!contains(reply, "OK")) {
        return -2;
    }
    if (channel.setBaudRate(rate) < 0) {
        return -3;
    }
    // At the new rate the adapter announces itself with one line.
    reply[0] = '\0';
    if (readReplyLine(channel, reply, sizeof(reply), kSwitchMs) < 0) {
        channel.setBaudRate(kNormalLinkBaud);
        return -4;
    }
    if (!contains(reply, kFastLinkAnnouncement)) {
        channel.setBaudRate(kNormalLinkBaud);
        return -8;
    }
    if (sendCommand(channel, "\r", kCommandMs) < 0) {
        return -5;
    }
    reply[0] = '\0';
    if (readPromptReply(channel, reply, sizeof(reply), kCommandMs) < 0) {
        return -6;
    }
    return contains(reply, "OK") ? 1 : -7;
}

int sendRecord(UpdateJob& job, Channel& channel, const char* recordText) {
    ExactlyOnce once;
    return sendRecord(job, channel, recordText, once);
}

int sendRecord(UpdateJob& job, Channel& channel, const char* recordText, ExactlyOnce& once) {
    if (std::strlen(recordText) > kMaxFamily1Digits) {
        return -2;
    }
    char command[6 + kMaxFamily1Digits + 2];
    std::snprintf(command, sizeof(command), "QXDLDT%s\r", recordText);
    char reply[kRecordReplySize];
    const int graceMs = once.graceMs;
    for (int tries = 0; tries < kMostTries; ++tries) {
        reply[0] = '\0';
        // Only the first try waits out a late answer: one after a resend is a second copy anyway.
        once.graceMs = tries == 0 ? graceMs : 0;
        const int result =
            exchangeCommand(channel, command, reply, sizeof(reply), kRecordMs, kRecordMs, once);
        once.graceMs = graceMs;
        if (result == kExchangeStrayAnswer) {
            return result;
        }
        if (contains(reply, "OK\r")) {
            return result;
        }
        if (job.appMode && contains(reply, "ERR02")) {
            return -2;
        }
    }
    return -1;
}

int endDownload(Channel& channel) {
    ExactlyOnce once;
    return endDownload(channel, once);
}

int endDownload(Channel& channel, ExactlyOnce& once) {
    char reply[kReplySize];
    for (int tries = 0; tries < kMostTries; ++tries) {
        reply[0] = '\0';
        const int result = exchangeCommandLine(channel, "QXDLED\r", reply, sizeof(reply),
                                               kCommandMs, kCommandMs, once);
        if (result == kExchangeStrayAnswer) {
            return -1;
        }
        if (contains(reply, "OK\r")) {
            return result;
        }
    }
    return -1;
}

int sendBlocks(UpdateJob& job, Channel& channel, const std::uint8_t* data, std::int32_t size) {
    int recordsSent = 0;
    std::int32_t position = 0;
    const double step = job.file().progressStep;
    job.reportProgress(4);

    if (switchToFastLink(channel, kFastLinkBaud) == 1) {
        job.reportText("Change the baud rate to 2Mbps!\r\n");
    }

    char text[kMaxFamily1Digits + 1];
    ExactlyOnce once;
    for (;;) {
        if (job.stopRequested()) {
            return 0;
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
            job.reportFailure(kFileInvalidText);
            return -2;
        }
        const int result = sendRecord(job, channel, text, once);
        if (result >= 0) {
            ++recordsSent;
            job.reportProgress(static_cast<int>(recordsSent * step + 5.0));
            continue;
        }
        if (result == -1 || result == kExchangeStrayAnswer) {
            // A stray answer: the adapter acted on a record command whose answer nobody waited
            // for, so it may hold a record twice. The download stops here.
            char failure[64];
            std::snprintf(failure, sizeof(failure), "**Failed** Sending error on %d line!\r\n",
                          recordsSent + 1);
            job.reportFailure(failure);
            return -1;
        }
        if (result == -2) {
            // The adapter refused the data: the download is still closed properly.
            job.reportFailure(kFileInvalidText);
            return closeDownload(job, channel, -2, once);
        }
        return result;
    }
    return closeDownload(job, channel, 1, once);
}

int runBlockDownload(UpdateJob& job, Channel& channel) {
    job.appMode = false;
    char reply[kMainReplySize] = {};
    if (exchangeCommand(channel, "QXVERS\r", reply, sizeof(reply), kCommandMs, kCommandMs) < 0) {
        job.reportFailure(kPowerOnText);
        return -1;
    }
    job.deviceCode = adapterModelFromReply(reply);
    job.modelCode = static_cast<ModelCode>(family1ModelCode(job.file().modelName));
    if (job.deviceCode != kModelUnknown && job.deviceCode != job.modelCode) {
        job.reportFailure(kModelMismatchText);
        return -1;
    }
    if (job.deviceCode != kModelUnknown) {
        // The adapter named its model: it runs its application firmware.
        job.appMode = true;
        reportDeviceVersion(job, channel, job.modelCode);
    }

    // Download mode: the models' commands in turn, until one is answered "OK".
    job.noteDownloadMode();
    const ModelRow* entered = nullptr;
    for (const ModelRow& model : modelCatalog()) {
        if (model.downloadCommand == nullptr) {
            continue;
        }
        reply[0] = '\0';
        if (exchangeCommand(channel, model.downloadCommand, reply, sizeof(reply), kCommandMs,
                            kCommandMs) < 0) {
            break;
        }
        if (beginsWith(reply, "OK", 2)) {
            entered = &model;
            break;
        }
    }
    if (entered == nullptr) {
        job.reportFailure(kPowerOnText);
        return -1;
    }
    job.deviceCode = entered->code;
    if (job.modelCode != job.deviceCode) {
        job.reportFailure(kModelMismatchText);
        return -1;
    }
    job.reportProgress(3);

    UpdateFile& file = job.file();
    const std::int32_t size = std::min(file.size, static_cast<std::int32_t>(file.data.size()));
    if (sendBlocks(job, channel, file.data.data(), size) > 0) {
        return 1;
    }
    job.reportFailure(kPowerOnText);
    job.reportFailure(kPowerOnText);
    return -1;
}

}  // namespace korvane
