// Identification and version gating of family-2 adapters, and the two version read-outs.
//
// Answers are collected with sendCommand and readPromptReply, so they start with the echo of the
// command (without its CR) and carry no line ends; skipPrefix steps over the echo.
#include "engine/identification.h"

#include <cstdio>
#include <cstring>

#include "engine/command_exchange.h"
#include "engine/flows.h"
#include "engine/support_contact.h"
#include "engine/update_job.h"

namespace korvane {

namespace {

constexpr int kQueryTimeoutMs = 2000;
constexpr std::size_t kReplySize = 256;
constexpr int kWholePrefix = 255;

// One family-2 model. `identities` are what the answer to "QXI\r" begins with; in the version
// gate, `gateIdentities[i]` selects `versionPrefixes[i]`, the text after which the version digits
// follow in the answer to `versionQuery`.
struct Family2Model {
    const char* identities[3];
    const char* versionQuery;
    const char* versionEcho;
    const char* gateIdentities[3];
    const char* versionPrefixes[3];
    char finalXDigit;
    int threshold;
    int highestElmVersion;
    const char* upgradeText;  // nullptr: the model has no intermediate firmware
};

constexpr Family2Model kFamily2Models[] = {
    {{"AzurPro v", nullptr, nullptr},
     "QXVERS\r",
     "QXVERS",
     {"AzurXX V", nullptr, nullptr},
     {"AzurXX V", nullptr, nullptr},
     '5',
     4005,
     23,
     "Please upgrade to version aZurPro_V4.0.0X first!\r\n"},
    {{"Q_Rove01", "Korvane MC", "Korvane-MC"},
     "QXI\r",
     "QXI",
     {"Q_Rove01", "Korvane MC", "Korvane-MC"},
     {"Q_Rove01 v", "Korvane MC v", "Korvane-MC v"},
     '9',
     2229,
     22,
     "Please upgrade to version Korvane_MC_V2.2.2X first!\r\n"},
    {{"Korvane BM", nullptr, nullptr},
     "QXI\r",
     "QXI",
     {"Korvane BM", nullptr, nullptr},
     {"Korvane BM v", nullptr, nullptr},
     '9',
     2229,
     22,
     "Please upgrade to version Korvane_BM_V2.2.2X first!\r\n"},
    {{"Korvane FD", nullptr, nullptr},
     "QXI\r",
     "QXI",
     {"Korvane FD", nullptr, nullptr},
     {"Korvane FD v", nullptr, nullptr},
     '9',
     2229,
     22,
     "Please upgrade to version Korvane_FD_V2.2.2X first!\r\n"},
    {{"Azur01 v", nullptr, nullptr},
     "QXVERS\r",
     "QXVERS",
     {"AzurXX V", nullptr, nullptr},
     {"AzurXX V", nullptr, nullptr},
     '5',
     4005,
     22,
     nullptr},
};

constexpr int kFamily2ModelCount = sizeof(kFamily2Models) / sizeof(kFamily2Models[0]);

constexpr char kNoUpgradeText[] = "There is no upgrade function for this product!\r\n";
constexpr char kModelMismatchText[] =
    "**Failed** The upgrade file does not match the device model!\r\n";
constexpr char kFirmwareNewerText[] =
    "The device firmware version number is higher, please use the latest firmware file.!\r\n";
constexpr char kTooOldHead[] =
    "This product is too old, please contact the \r\ntechnical team for assistance in "
    "upgrading: \r\n";
// What identifies an adapter of model 0 whose firmware is too old for any update.
constexpr char kTooOldIdentity[] = "Azur V3";

const Family2Model* family2Model(int code) {
    if (code < 0 || code >= kFamily2ModelCount) {
        return nullptr;
    }
    return &kFamily2Models[code];
}

bool beginsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Index of the first of `prefixes` (up to three, nullptr ends the list) that `text` begins with,
// or -1.
int matchingPrefix(const char* text, const char* const (&prefixes)[3]) {
    for (int i = 0; i < 3 && prefixes[i] != nullptr; ++i) {
        if (beginsWith(text, prefixes[i])) {
            return i;
        }
    }
    return -1;
}

// Sends `command` and collects its prompt reply, echo kept. The outcome is not looked at: a
// failed send or read leaves a partial or empty answer.
void queryAdapter(Channel& channel, const char* command, char* reply) {
    reply[0] = '\0';
    sendCommand(channel, command, kQueryTimeoutMs);
    readPromptReply(channel, reply, kReplySize, kQueryTimeoutMs);
}

// Moves the text that follows the echo `echo` to the start of `reply`.
void dropEcho(char* reply, const char* echo) {
    const char* rest = skipPrefix(reply, echo, kWholePrefix);
    std::memmove(reply, rest, std::strlen(rest) + 1);
}

void reportTooOld(UpdateJob& job) {
    char text[sizeof(kTooOldHead) + sizeof(kSupportContact) + 8];
    std::snprintf(text, sizeof(text), "%s[%s].\r\n", kTooOldHead, kSupportContact);
    job.reportFailure(text);
}

// Shared body of the two version read-outs: `command` asked, its echo stepped over, the answer
// must hold `letter`; then "label", the version text and "\r\n" are reported.
int reportVersion(UpdateJob& job, Channel& channel, ModelCode code, const char* command,
                  const char* echo, char letter, const char* label) {
    if (code > kModelZnb6730) {
        return -1;
    }
    char reply[kReplySize] = {};
    queryAdapter(channel, command, reply);
    dropEcho(reply, command);
    if (std::strchr(reply, letter) == nullptr) {
        return -2;
    }
    char* version = skipPrefix(reply, echo, kWholePrefix);
    removeChar(version, '>');
    job.reportText(label);
    job.reportText(version);
    job.reportText("\r\n");
    return 1;
}

}  // namespace

int identifyModel(UpdateJob& job, Channel& channel, ModelCode code) {
    const Family2Model* model = family2Model(code);
    char reply[kReplySize] = {};
    queryAdapter(channel, "QXI\r", reply);
    const char* identity = skipPrefix(reply, "QXI", kWholePrefix);
    if (model == nullptr || matchingPrefix(identity, model->identities) < 0) {
        return -1;
    }
    job.deviceCode = code;

    queryAdapter(channel, "QXPROI\r", reply);
    const char* product = skipPrefix(reply, "QXPROI", kWholePrefix);
    const char* productText = job.file().productText;
    if (productText[0] == '\0') {
        return -1;
    }
    return std::strstr(product, productText) != nullptr ? 0 : -1;
}

int checkElmVersion(UpdateJob& job, Channel& channel) {
    char reply[kReplySize] = {};
    queryAdapter(channel, "ATI\r", reply);
    char* rest = skipPrefix(reply, "ATIELM327 v", kWholePrefix);
    const int version = parseVersionNumber(rest, '\0');
    const Family2Model* model = family2Model(job.deviceCode);
    const int highest = model != nullptr ? model->highestElmVersion : 22;
    return version > highest ? -5 : 0;
}

int gateVersion(UpdateJob& job, Channel& channel, ModelCode code, int fileVersion) {
    const Family2Model* model = family2Model(code);
    if (model == nullptr) {
        return -1;
    }
    char reply[kReplySize] = {};
    queryAdapter(channel, model->versionQuery, reply);
    const char* answer = skipPrefix(reply, model->versionQuery, kWholePrefix);

    if (code == kModelAzur03 && beginsWith(answer, kTooOldIdentity)) {
        reportTooOld(job);
        return -1;
    }
    const int which = matchingPrefix(answer, model->gateIdentities);
    if (which < 0) {
        // An answer without the model's identity (garbled, or none at all) is refused with a
        // text like every other refusal, so the user is never left without an ending.
        job.reportFailure(code == kModelAzur01 ? kNoUpgradeText : kModelMismatchText);
        return -1;
    }

    // Echo and version prefix are stepped over together, from the answer's first character.
    char prefix[64];
    std::snprintf(prefix, sizeof(prefix), "%s%s", model->versionEcho,
                  model->versionPrefixes[which]);
    char* digits = skipPrefix(reply, prefix, kWholePrefix);
    const int deviceVersion = parseVersionNumber(digits, model->finalXDigit);

    if (deviceVersion < model->threshold) {
        if (model->upgradeText == nullptr) {
            job.reportFailure(kNoUpgradeText);
            return -1;
        }
        if (fileVersion <= model->threshold) {
            return 3;
        }
        job.reportFailure(model->upgradeText);
        return -1;
    }
    if (fileVersion > model->threshold) {
        return 2;
    }
    job.reportFailure(kFirmwareNewerText);
    return -1;
}

int reportDeviceVersion(UpdateJob& job, Channel& channel, ModelCode code) {
    return reportVersion(job, channel, code, "QXVERS\r", "QXVERS", 'V', "device version:");
}

int reportAdapterVersion(UpdateJob& job, Channel& channel, ModelCode code) {
    return reportVersion(job, channel, code, "QXI\r", "QXI", 'v', "Adapter version:");
}

}  // namespace korvane
