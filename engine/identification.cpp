// Identification and version gating of family-2 adapters, and the two version read-outs.
//
// Answers are collected with sendCommand and readPromptReply, so they start with the echo of the
// command (without its CR) and carry no line ends; skipPrefix steps over the echo.
#include "engine/identification.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/adapter_query.h"
#include "engine/command_exchange.h"
#include "engine/flow_texts.h"
#include "engine/flows.h"
#include "engine/model_catalog.h"
#include "engine/shown_text.h"
#include "engine/support_contact.h"
#include "engine/text_match.h"

namespace korvane {

namespace {

constexpr std::size_t kReplySize = 256;
constexpr int kWholePrefix = 255;

constexpr char kNoUpgradeText[] = "There is no upgrade function for this product!\r\n";
constexpr char kFirmwareNewerText[] =
    "The device firmware version number is higher, please use the latest firmware file.!\r\n";
constexpr char kTooOldHead[] =
    "This product is too old, please contact the \r\ntechnical team for assistance in "
    "upgrading: \r\n";

bool beginsWithIdentity(const char* text, const char* identity) {
    return identity != nullptr && beginsWith(text, identity);
}

// The first of `answers` whose identity `text` begins with, or nullptr.
const VersionAnswer* matchingAnswer(const char* text, const VersionAnswer (&answers)[3]) {
    for (const VersionAnswer& answer : answers) {
        if (beginsWithIdentity(text, answer.identity)) {
            return &answer;
        }
    }
    return nullptr;
}

bool matchesIdentity(const char* text, const ModelRow& model) {
    for (const char* identity : model.identities) {
        if (beginsWithIdentity(text, identity)) {
            return true;
        }
    }
    return false;
}

void reportTooOld(FlowContext& flow) {
    char text[sizeof(kTooOldHead) + sizeof(kSupportContact) + 8];
    std::snprintf(text, sizeof(text), "%s[%s].\r\n", kTooOldHead, kSupportContact);
    flow.reportFailure(text);
}

// Shared body of the two version read-outs: `command` asked, its echo stepped over, the answer
// must hold `letter`; then "label", the version text and "\r\n" are reported.
VersionReportResult reportVersion(FlowContext& flow, Channel& channel, ModelCode code,
                                  const char* command, const char* echo, char letter,
                                  const char* label,
                                  void (FlowContext::*note)(const std::string&)) {
    if (findModel(code) == nullptr) {
        return VersionReportResult::UnknownModel;
    }
    char reply[kReplySize] = {};
    queryAdapter(flow, channel, command, reply, sizeof(reply));
    dropEcho(reply, command);
    if (std::strchr(reply, letter) == nullptr) {
        return VersionReportResult::NoVersionLetter;
    }
    char* version = skipPrefix(reply, echo, kWholePrefix);
    removeChar(version, '>');
    (flow.*note)(version);
    flow.reportText(label);
    // The adapter's own text: shown escaped, so it cannot start a line of its own.
    flow.reportText(shownText(version).c_str());
    flow.reportText("\r\n");
    return VersionReportResult::Reported;
}

// The adapter's firmware version in the answer `reply` to the model's version query: the echo
// (the query without its CR) and the version prefix of `matched` are stepped over together, from
// the answer's first character.
int adapterVersion(char* reply, const ModelRow& model, const VersionAnswer& matched) {
    char prefix[64];
    const int echoLength = static_cast<int>(std::strlen(model.versionQuery)) - 1;
    std::snprintf(prefix, sizeof(prefix), "%.*s%s", echoLength, model.versionQuery,
                  matched.versionPrefix);
    char* digits = skipPrefix(reply, prefix, kWholePrefix);
    return parseVersionNumber(digits, model.finalXDigit);
}

// An adapter at `deviceVersion` against its model's threshold, with a file at `fileVersion`:
// DirectUpdate or IntermediateUpdate, or Refused with its text reported and its step in
// `refusal`.
GateResult passThreshold(FlowContext& flow, const ModelRow& model, int deviceVersion,
                         int fileVersion, FailureStep& refusal) {
    if (deviceVersion < model.threshold) {
        if (model.upgradeText == nullptr) {
            flow.reportFailure(kNoUpgradeText);
            refusal = FailureStep::GateNoUpgrade;
            return GateResult::Refused;
        }
        if (fileVersion <= model.threshold) {
            return GateResult::IntermediateUpdate;
        }
        flow.reportFailure(model.upgradeText);
        refusal = FailureStep::GateUpgradeFirst;
        return GateResult::Refused;
    }
    if (fileVersion > model.threshold) {
        return GateResult::DirectUpdate;
    }
    flow.reportFailure(kFirmwareNewerText);
    refusal = FailureStep::GateFirmwareNewer;
    return GateResult::Refused;
}

}  // namespace

GateResult identifyModel(FlowContext& flow, Channel& channel, ModelCode code,
                         AdapterFacts& learned) {
    const ModelRow* model = findLineModel(code);
    char reply[kReplySize] = {};
    queryAdapter(flow, channel, "QXI\r", reply, sizeof(reply));
    const char* identity = skipPrefix(reply, "QXI", kWholePrefix);
    const std::string fileModel = flow.file().modelName;
    if (model == nullptr || !matchesIdentity(identity, *model)) {
        flow.noteFailure({FailureStep::IdentityMismatch, "QXI", identity, 0, {}, fileModel});
        return GateResult::ModelMismatch;
    }
    learned.deviceCode = code;

    queryAdapter(flow, channel, "QXPROI\r", reply, sizeof(reply));
    const char* product = skipPrefix(reply, "QXPROI", kWholePrefix);
    const char* productText = flow.file().productText;
    if (productText[0] == '\0') {
        flow.noteFailure({FailureStep::NoProductText, "QXPROI", product, 0, {}, {}});
        return GateResult::ModelMismatch;
    }
    if (!contains(product, productText)) {
        flow.noteFailure({FailureStep::ProductMismatch, "QXPROI", product, 0, {}, productText});
        return GateResult::ModelMismatch;
    }
    return GateResult::Passed;
}

GateResult checkElmVersion(FlowContext& flow, Channel& channel, int deviceCode) {
    char reply[kReplySize] = {};
    queryAdapter(flow, channel, "ATI\r", reply, sizeof(reply));
    char* rest = skipPrefix(reply, "ATIELM327 v", kWholePrefix);
    const int version = parseVersionNumber(rest, '\0');
    const ModelRow* model = findLineModel(deviceCode);
    const int highest = model != nullptr ? model->highestElmVersion : kDefaultHighestElmVersion;
    if (version > highest) {
        flow.noteFailure({FailureStep::ElmVersionTooNew,
                          "ATI",
                          skipPrefix(reply, "ATI", kWholePrefix),
                          highest,
                          {},
                          {}});
        return GateResult::ElmVersionTooNew;
    }
    return GateResult::Passed;
}

GateResult gateVersion(FlowContext& flow, Channel& channel, ModelCode code, int fileVersion) {
    const ModelRow* model = findLineModel(code);
    if (model == nullptr) {
        return GateResult::Refused;
    }
    char reply[kReplySize] = {};
    queryAdapter(flow, channel, model->versionQuery, reply, sizeof(reply));
    const char* answer = skipPrefix(reply, model->versionQuery, kWholePrefix);
    // The query without its CR, as the reason names it.
    const std::string query(model->versionQuery, std::strlen(model->versionQuery) - 1);
    // The answer as it came: the version is read from it in place below.
    const std::string answerText = answer;
    const auto refuse = [&](FailureStep step) {
        flow.noteFailure({step, query, answerText, fileVersion, {}, flow.file().modelName});
        return GateResult::Refused;
    };

    if (beginsWithIdentity(answer, model->tooOldIdentity)) {
        reportTooOld(flow);
        return refuse(FailureStep::GateTooOld);
    }
    const VersionAnswer* matched = matchingAnswer(answer, model->versionAnswers);
    if (matched == nullptr) {
        // An answer without the model's identity (garbled, or none at all) is refused with a
        // text like every other refusal, so the user is never left without an ending.
        flow.reportFailure(model->upgradeText == nullptr ? kNoUpgradeText : kModelMismatchText);
        return refuse(FailureStep::GateNoVersion);
    }

    FailureStep refusal = FailureStep::None;
    const GateResult result =
        passThreshold(flow, *model, adapterVersion(reply, *model, *matched), fileVersion, refusal);
    return result == GateResult::Refused ? refuse(refusal) : result;
}

VersionReportResult reportDeviceVersion(FlowContext& flow, Channel& channel, ModelCode code) {
    return reportVersion(flow, channel, code, "QXVERS\r", "QXVERS", 'V',
                         "device version:", &FlowContext::noteDeviceVersion);
}

VersionReportResult reportAdapterVersion(FlowContext& flow, Channel& channel, ModelCode code) {
    return reportVersion(flow, channel, code, "QXI\r", "QXI", 'v',
                         "Adapter version:", &FlowContext::noteAdapterVersion);
}

}  // namespace korvane
