#include "sim/adapter/emulated_adapter.h"

#include <algorithm>
#include <utility>

#include "sim/adapter/record_text.h"

namespace korvane::sim {

namespace {

constexpr std::size_t kMaxCommandLength = 1024;
constexpr std::size_t kMaxCommandLog = 100'000;
// The adapter's flash holds no more than this many lines or records; beyond it they are refused.
constexpr std::size_t kMaxImageEntries = 200'000;
constexpr std::size_t kFloodBytes = 100'000;
constexpr std::int64_t kNsPerMs = 1'000'000;
constexpr char kNoiseAlphabet[] = "#$%&*+-=@^_~{}|";

const std::string kLinePrefix = "QXBL";
const std::string kRecordPrefix = "QXDLDT";
const std::string kVersionAdjustPrefix = "QXVADJ v";
const std::string kAtiSetPrefix = "QX UCS_ATI ELM327 v";
const std::string kAnnouncement = "ZNB540 Update\r";

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::map<int, int> countsByPosition(const std::vector<CountAt>& faults) {
    std::map<int, int> counts;
    for (const CountAt& fault : faults) {
        if (fault.at > 0 && fault.count > 0) {
            counts[fault.at] += fault.count;
        }
    }
    return counts;
}

std::string floodText() {
    static const char kPattern[] = "0123456789ABCDEF";
    std::string text(kFloodBytes, '0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = kPattern[i % 16];
    }
    return text;
}

bool isFamily2Model(int model) {
    return familyOfModel(model) == 2;
}

// Models 1 to 3 carry their firmware version in the identity answer, the others a short version.
bool identityCarriesFirmware(int model) {
    return model == kModelZnb5413 || model == kModelZnb5411 || model == kModelZnb5412;
}

std::string family1ModelName(int model) {
    return model == kModelZnb540 ? "ZNB540" : "ZNB6730";
}

}  // namespace

const std::string& closingRecordCommand() {
    static const std::string command = kLinePrefix + "FFF1" + std::string(129, '0') + "F";
    return command;
}

EmulatedAdapter::EmulatedAdapter(AdapterSettings settings) : settings_(std::move(settings)) {
    family_ = familyOfModel(settings_.model);
    mode_ =
        (family_ == 2 && settings_.bootLoader) ? AdapterMode::BootLoader : AdapterMode::Application;
    echo_ = settings_.echo;
    adapterRate_ = settings_.baud;
    elmVersion_ = settings_.elmVersion;
    firmwareVersion_ = settings_.firmwareVersion.empty() ? defaultFirmwareVersion(settings_.model)
                                                         : settings_.firmwareVersion;
    shortVersion_ = settings_.shortVersion.empty() ? "2.2" : settings_.shortVersion;
    if (settings_.identityPrefix.empty()) {
        settings_.identityPrefix = defaultIdentityPrefix(settings_.model);
    }
    setFaults(settings_.faults);
}

void EmulatedAdapter::setFaults(const FaultPlan& faults) {
    settings_.faults = faults;
    repPackLeft_ = countsByPosition(faults.repPack);
    repBlockLeft_ = countsByPosition(faults.repBlock);
    err02Left_ = countsByPosition(faults.err02);
    finishFailuresLeft_ = std::max(0, faults.finishFailures);
}

void EmulatedAdapter::setHostRate(int baud) {
    hostRate_ = baud;
}

void EmulatedAdapter::receive(const std::uint8_t* bytes, std::size_t count, std::int64_t nowNs) {
    if (settings_.decoy != Decoy::None) {
        decoyReceive(bytes, count, nowNs);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t perByte = settings_.wireTime ? byteTimeNs(adapterRate_) : 0;
        const std::int64_t arrival =
            perByte > 0 ? std::max(nowNs, lastArrivalNs_) + perByte : nowNs;
        lastArrivalNs_ = std::max(lastArrivalNs_, arrival);

        const bool garbled = hostRate_ != 0 && hostRate_ != adapterRate_;
        const int crossingRate = hostRate_ != 0 ? hostRate_ : adapterRate_;
        if (crossingRate > 0) {
            inSeconds_ += 10.0 / crossingRate;
        }
        if (garbled || dropQueued_) {
            // Noise to the adapter, or sent after the adapter went away: the partial command is
            // lost with it.
            garbledIn_ += garbled ? 1 : 0;
            input_.clear();
            inputOverlong_ = false;
            // The host's line ends here. Heard as noise, it is a line the adapter does not know:
            // its "?" answer goes back at the adapter's rate and reaches the host as noise.
            if (garbled && !dropQueued_ && settings_.mismatchAsNoise && bytes[i] == '\r') {
                enqueueAtHostRate(lineNoise(4, noisyAnswers_++ % 2 == 1), arrival);
            }
            continue;
        }
        ++bytesIn_;
        const char byte = static_cast<char>(bytes[i]);
        if (byte == '\r') {
            std::string text;
            text.swap(input_);
            const bool overlong = inputOverlong_;
            inputOverlong_ = false;
            handleCommand(text, overlong, arrival);
        } else if (byte == '\n') {
            continue;
        } else if (input_.size() < kMaxCommandLength) {
            input_ += byte;
        } else {
            inputOverlong_ = true;
        }
    }
}

bool EmulatedAdapter::isLineCommand(const std::string& text) const {
    return (startsWith(text, kLinePrefix) && text != closingRecordCommand()) ||
           startsWith(text, kRecordPrefix);
}

void EmulatedAdapter::handleCommand(const std::string& text, bool overlong, std::int64_t atNs) {
    const int number = ++commandCount_;
    if (commands_.size() < kMaxCommandLog) {
        commands_.push_back(ReceivedCommand{atNs, number, text});
    }
    const FaultPlan& faults = settings_.faults;
    if (faults.silentAfterCommand > 0 && number > faults.silentAfterCommand) {
        return;
    }
    if (isLineCommand(text)) {
        ++lineCommands_;
        if (faults.dropAtLine > 0 && lineCommands_ == faults.dropAtLine) {
            output_.pushDrop(atNs);
            dropQueued_ = true;
            return;
        }
        if (faults.stallAtLine > 0 && lineCommands_ == faults.stallAtLine) {
            stallEndNs_ = atNs + std::int64_t{std::max(faults.stallMs, 0)} * kNsPerMs;
        }
    }
    // During a stall nothing comes back before it ends.
    atNs = std::max(atNs, stallEndNs_);
    const bool echoed = echo_;
    if (faults.floodAtCommand == number) {
        Reply flood;
        flood.prompt = false;
        emit(number, text, echoed, flood, atNs);
        enqueue(floodText(), atNs);
        return;
    }
    Reply reply = overlong ? Reply{{"?"}} : dispatch(text);
    if (!isLineCommand(text)) {
        reply.delayMs = std::max(reply.delayMs, faults.answerDelayMs);
    }
    emit(number, text, echoed, reply, atNs);
    switch (reply.after) {
        case Reply::After::Nothing:
            break;
        case Reply::After::StartFastLink:
            // The adapter changes its rate as soon as its answer is out and announces itself at
            // the new rate once the host's end runs at it too.
            adapterRate_ = settings_.fastBaud;
            fastLink_ = FastLinkPhase::Announcing;
            output_.pushAnnouncement(kAnnouncement, atNs, adapterRate_,
                                     settings_.wireTime ? byteTimeNs(adapterRate_) : 0,
                                     std::int64_t{settings_.announceWindowMs} * kNsPerMs);
            break;
        case Reply::After::EndFastLink:
            adapterRate_ = settings_.baud;
            fastLink_ = FastLinkPhase::Off;
            break;
    }
}

void EmulatedAdapter::emit(int number, const std::string& text, bool echoed, const Reply& reply,
                           std::int64_t atNs) {
    const FaultPlan& faults = settings_.faults;
    std::string head;
    if (faults.noiseBytes > 0 && faults.noiseAt.contains(number)) {
        head += noise(faults.noiseBytes);
    }
    if (echoed) {
        head += text;
        head += '\r';
    }
    std::string body;
    for (const std::string& line : reply.lines) {
        body += line;
        body += '\r';
    }
    if (reply.prompt) {
        body += reply.lines.empty() ? ">" : "\r>";
    }
    if (faults.nulAt.contains(number) && body.size() > 1) {
        std::string spaced;
        for (std::size_t i = 0; i < body.size(); ++i) {
            if (i > 0) {
                spaced += '\0';
            }
            spaced += body[i];
        }
        body.swap(spaced);
    }
    enqueue(std::move(head), atNs);
    enqueue(std::move(body), atNs + std::int64_t{reply.delayMs} * kNsPerMs);
}

void EmulatedAdapter::enqueue(std::string bytes, std::int64_t readyNs) {
    output_.push(std::move(bytes), readyNs, adapterRate_,
                 settings_.wireTime ? byteTimeNs(adapterRate_) : 0);
}

std::string EmulatedAdapter::lineNoise(std::size_t count, bool withPrompt) {
    std::string bytes;
    while (bytes.size() < count) {
        noiseSeed_ = noiseSeed_ * 1103515245u + 12345u;
        const auto byte = static_cast<char>((noiseSeed_ >> 16) & 0xFF);
        if (byte != '\0' && byte != '>') {
            bytes += byte;
        }
    }
    if (withPrompt) {
        bytes.back() = '>';
    }
    return bytes;
}

void EmulatedAdapter::enqueueAtHostRate(std::string bytes, std::int64_t readyNs) {
    output_.push(std::move(bytes), readyNs, hostRate_, 0);
}

void EmulatedAdapter::decoyReceive(const std::uint8_t* bytes, std::size_t count,
                                   std::int64_t nowNs) {
    bytesIn_ += count;
    if (settings_.decoy == Decoy::LoopBack) {
        enqueueAtHostRate(std::string(reinterpret_cast<const char*>(bytes), count), nowNs);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const char byte = static_cast<char>(bytes[i]);
        if (byte != '\r') {
            if (byte != '\n' && input_.size() < kMaxCommandLength) {
                input_ += byte;
            }
            continue;
        }
        const int number = ++commandCount_;
        if (commands_.size() < kMaxCommandLog) {
            commands_.push_back(ReceivedCommand{nowNs, number, input_});
        }
        if (settings_.decoy == Decoy::Modem) {
            enqueueAtHostRate(input_ + "\r\r\nOK\r\n", nowNs);
        } else if (settings_.decoy == Decoy::Noise) {
            enqueueAtHostRate(lineNoise(12, noisyAnswers_++ % 2 == 1), nowNs);
        }
        input_.clear();
    }
}

std::string EmulatedAdapter::noise(int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) {
        noiseSeed_ = noiseSeed_ * 1103515245u + 12345u;
        bytes += kNoiseAlphabet[(noiseSeed_ >> 16) % (sizeof(kNoiseAlphabet) - 1)];
    }
    return bytes;
}

EmulatedAdapter::Reply EmulatedAdapter::dispatch(const std::string& text) {
    if (text == "ATE0" || text == "ATE1") {
        echo_ = text == "ATE1";
        return Reply{{"OK"}};
    }
    if (text.empty()) {
        if (fastLink_ == FastLinkPhase::Announcing || fastLink_ == FastLinkPhase::AwaitingConfirm) {
            return confirmFastLink();
        }
        return Reply{};
    }
    if (family_ == 2) {
        return dispatchLineModel(text);
    }
    if (family_ == 1) {
        return dispatchBlockModel(text);
    }
    return Reply{{"?"}};
}

EmulatedAdapter::Reply EmulatedAdapter::applicationCommon(const std::string& text, bool& handled) {
    handled = true;
    const int model = settings_.model;
    if (text == "ATI") {
        return Reply{{"ELM327 v" + elmVersion_}};
    }
    if (text == "QXI") {
        return Reply{{settings_.identityPrefix +
                      (identityCarriesFirmware(model) ? firmwareVersion_ : shortVersion_)}};
    }
    if (text == "QXPROI") {
        return Reply{{settings_.productText}};
    }
    if (text == "QXVERS") {
        if (model == kModelAzur03 || model == kModelAzur01) {
            return Reply{{settings_.versionPrefix + firmwareVersion_}};
        }
        if (isFamily2Model(model)) {
            return Reply{{"V" + shortVersion_}};
        }
        const std::string lead = settings_.versionNamesModel ? family1ModelName(model) + " " : "";
        return Reply{{lead + "V" + firmwareVersion_}};
    }
    handled = false;
    return Reply{{"?"}};
}

EmulatedAdapter::Reply EmulatedAdapter::dispatchLineModel(const std::string& text) {
    const int model = settings_.model;
    switch (mode_) {
        case AdapterMode::Application: {
            bool handled = false;
            Reply reply = applicationCommon(text, handled);
            if (handled) {
                return reply;
            }
            if (text == "QXUPDT03") {
                startDownload(AdapterMode::LineDownload, 2);
                return Reply{{"OK"}};
            }
            const bool adjustsByVadj = model == kModelAzur03 || model == kModelAzur01;
            if (adjustsByVadj && startsWith(text, kVersionAdjustPrefix) &&
                text.size() > kVersionAdjustPrefix.size()) {
                elmVersion_ = text.substr(kVersionAdjustPrefix.size());
                return Reply{{"ELM327 v" + elmVersion_}};
            }
            if (!adjustsByVadj && startsWith(text, kAtiSetPrefix) &&
                text.size() > kAtiSetPrefix.size()) {
                elmVersion_ = text.substr(kAtiSetPrefix.size());
                return Reply{{"OK"}};
            }
            // A host that did not see the answer to its closing commands may send them again.
            if (update_ == UpdateStatus::Completed && text == closingRecordCommand()) {
                ++closingRecords_;
                return Reply{{"OK"}};
            }
            if (update_ == UpdateStatus::Completed && text == "QXFL") {
                return Reply{{"OK"}};
            }
            return Reply{{"?"}};
        }
        case AdapterMode::BootLoader:
            if (text == "QXUPDT03") {
                startDownload(AdapterMode::LineDownload, 2);
                return Reply{{"OK"}};
            }
            return Reply{{"?"}};
        case AdapterMode::LineDownload:
            if (text == "QXUPDT03") {
                startDownload(AdapterMode::LineDownload, 2);
                return Reply{{"OK"}};
            }
            if (text == closingRecordCommand()) {
                ++closingRecords_;
                return Reply{{"OK"}};
            }
            if (startsWith(text, kLinePrefix)) {
                return takeLine(text.substr(kLinePrefix.size()));
            }
            if (text == "QXFL") {
                return finishLineDownload();
            }
            return Reply{{"?"}};
        case AdapterMode::BlockDownload:
            break;
    }
    return Reply{{"?"}};
}

EmulatedAdapter::Reply EmulatedAdapter::dispatchBlockModel(const std::string& text) {
    const std::string ownDownload = "QXDL" + family1ModelName(settings_.model);
    if (mode_ == AdapterMode::BlockDownload) {
        if (text == ownDownload) {
            startDownload(AdapterMode::BlockDownload, 1);
            return Reply{{"OK"}};
        }
        if (text == "QX DLBD 02") {
            if (settings_.faults.refuseBaudSwitch) {
                return Reply{{"?"}};
            }
            // "OK" alone: the adapter leaves this rate right after it, so no prompt follows.
            Reply reply{{"OK"}};
            reply.prompt = false;
            reply.after = Reply::After::StartFastLink;
            return reply;
        }
        if (startsWith(text, kRecordPrefix)) {
            return takeRecord(text.substr(kRecordPrefix.size()));
        }
        if (text == "QXDLED") {
            completeUpdate();
            Reply reply{{"OK"}};
            reply.after = Reply::After::EndFastLink;
            return reply;
        }
        return Reply{{"?"}};
    }
    bool handled = false;
    Reply reply = applicationCommon(text, handled);
    if (handled) {
        return reply;
    }
    if (text == ownDownload) {
        startDownload(AdapterMode::BlockDownload, 1);
        return Reply{{"OK"}};
    }
    if (startsWith(text, kAtiSetPrefix) && text.size() > kAtiSetPrefix.size()) {
        elmVersion_ = text.substr(kAtiSetPrefix.size());
        return Reply{{"OK"}};
    }
    if (update_ == UpdateStatus::Completed && text == "QXDLED") {
        return Reply{{"OK"}};
    }
    return Reply{{"?"}};
}

EmulatedAdapter::Reply EmulatedAdapter::confirmFastLink() {
    fastLink_ = FastLinkPhase::Running;
    return Reply{{"OK"}};
}

void EmulatedAdapter::startDownload(AdapterMode mode, int family) {
    if (mode_ != mode) {
        ++updatesStarted_;
    }
    mode_ = mode;
    image_ = FirmwareImage{};
    image_.family = family;
    expectingSecond_ = false;
    pairTroubled_ = false;
    lastPairTroubled_ = false;
    update_ = UpdateStatus::Running;
}

void EmulatedAdapter::completeUpdate() {
    mode_ = AdapterMode::Application;
    update_ = UpdateStatus::Completed;
    ++updatesCompleted_;
    if (!settings_.firmwareVersionAfterUpdate.empty()) {
        firmwareVersion_ = settings_.firmwareVersionAfterUpdate;
    }
    if (!settings_.shortVersionAfterUpdate.empty()) {
        shortVersion_ = settings_.shortVersionAfterUpdate;
    }
}

EmulatedAdapter::Reply EmulatedAdapter::finishLineDownload() {
    if (finishFailuresLeft_ > 0) {
        --finishFailuresLeft_;
        return Reply{{"ERROR"}};
    }
    completeUpdate();
    return Reply{{"OK"}};
}

int EmulatedAdapter::takeCount(std::map<int, int>& counts, int at) {
    auto found = counts.find(at);
    if (found == counts.end() || found->second <= 0) {
        return 0;
    }
    --found->second;
    return 1;
}

// Lines come in pairs: the first is answered "...", the second "OK" and the pair is taken. A line
// answered "RepPack" is not taken and is expected again; a pair answered "RepBlock" is dropped
// and expected again from its first line.
//
// When the adapter asked for repeats within a pair, the host may give the pair up and start it
// over; the adapter recognises that by the first line arriving again (where it expects the second
// line, or right after it took the pair) and starts the pair over too. Without repeats the
// adapter never looks at line contents, so files whose neighbouring lines are equal go through.
EmulatedAdapter::Reply EmulatedAdapter::takeLine(const std::string& payload) {
    std::vector<std::string>& entries = image_.entries;
    Reply reply;
    reply.delayMs = settings_.faults.lineDelayMs;
    if (!expectingSecond_) {
        if (lastPairTroubled_ && entries.size() >= 2 && payload == entries[entries.size() - 2]) {
            entries.resize(entries.size() - 2);
            pairTroubled_ = true;
        }
        lastPairTroubled_ = false;
    } else if (pairTroubled_ && payload == image_.pendingLine) {
        expectingSecond_ = false;
        image_.pendingLine.clear();
    }

    const int lineNumber = static_cast<int>(entries.size()) + (expectingSecond_ ? 2 : 1);
    if (!isSoundLinePayload(payload) || entries.size() + 2 > kMaxImageEntries ||
        takeCount(repPackLeft_, lineNumber) != 0) {
        pairTroubled_ = true;
        ++repPackSent_;
        reply.lines = {"RepPack"};
        return reply;
    }
    if (!expectingSecond_) {
        image_.pendingLine = payload;
        expectingSecond_ = true;
        reply.lines = {"..."};
        return reply;
    }
    const int pairNumber = static_cast<int>(entries.size() / 2) + 1;
    expectingSecond_ = false;
    if (takeCount(repBlockLeft_, pairNumber) != 0) {
        ++repBlockSent_;
        image_.pendingLine.clear();
        pairTroubled_ = false;
        reply.lines = {"RepBlock"};
        return reply;
    }
    entries.push_back(image_.pendingLine);
    entries.push_back(payload);
    image_.pendingLine.clear();
    lastPairTroubled_ = pairTroubled_;
    pairTroubled_ = false;
    reply.lines = {"OK"};
    return reply;
}

EmulatedAdapter::Reply EmulatedAdapter::takeRecord(const std::string& record) {
    Reply reply;
    reply.delayMs = settings_.faults.lineDelayMs;
    const int recordNumber = static_cast<int>(image_.entries.size()) + 1;
    if (!isSoundRecord(record) || image_.entries.size() >= kMaxImageEntries ||
        takeCount(err02Left_, recordNumber) != 0) {
        ++err02Sent_;
        reply.lines = {"ERR02"};
        return reply;
    }
    image_.entries.push_back(record);
    reply.lines = {"OK"};
    return reply;
}

void EmulatedAdapter::collectOutput(std::int64_t nowNs, std::string& out) {
    const OutputQueue::Events events = output_.collect(nowNs, hostRate_, out);
    if ((events.announcementSent || events.announcementLost) &&
        fastLink_ == FastLinkPhase::Announcing) {
        fastLink_ = FastLinkPhase::AwaitingConfirm;
    }
    if (events.dropReached) {
        dropReached_ = true;
    }
}

std::int64_t EmulatedAdapter::nextDueNs() const {
    return output_.nextDueNs(hostRate_);
}

bool EmulatedAdapter::watchingHostRate() const {
    return output_.waitingForHostRate(hostRate_);
}

bool EmulatedAdapter::takeLinkDrop() {
    if (!dropReached_) {
        return false;
    }
    dropReached_ = false;
    ++linkDrops_;
    return true;
}

void EmulatedAdapter::linkLost() {
    input_.clear();
    inputOverlong_ = false;
    output_.clear();
    dropQueued_ = false;
    dropReached_ = false;
    lastArrivalNs_ = 0;
    if (fastLink_ == FastLinkPhase::Announcing) {
        fastLink_ = FastLinkPhase::AwaitingConfirm;
    }
}

AdapterStatus EmulatedAdapter::status() const {
    AdapterStatus status;
    status.model = settings_.model;
    status.family = family_;
    status.mode = mode_;
    status.echo = echo_;
    status.adapterRate = adapterRate_;
    status.hostRate = hostRate_;
    status.fastLink = fastLink_;
    status.elmVersion = elmVersion_;
    status.firmwareVersion = firmwareVersion_;
    status.shortVersion = shortVersion_;
    status.update = update_;
    status.updatesStarted = updatesStarted_;
    status.updatesCompleted = updatesCompleted_;
    status.commandCount = commandCount_;
    status.lineCommands = lineCommands_;
    status.imageEntries = static_cast<int>(image_.entries.size());
    status.repPackSent = repPackSent_;
    status.repBlockSent = repBlockSent_;
    status.err02Sent = err02Sent_;
    status.closingRecords = closingRecords_;
    status.linkDrops = linkDrops_;
    status.counts.bytesIn = bytesIn_;
    status.counts.bytesOut = output_.bytesSent();
    status.counts.garbledIn = garbledIn_;
    status.counts.garbledOut = output_.bytesGarbled();
    status.counts.linkTimeSeconds = inSeconds_ + output_.linkSeconds();
    return status;
}

}  // namespace korvane::sim
