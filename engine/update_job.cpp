#include "engine/update_job.h"

#include <array>
#include <mutex>
#include <optional>
#include <utility>

#include "engine/answer_watch.h"
#include "engine/command_exchange.h"
#include "engine/download_preflight.h"
#include "engine/failure_reason.h"
#include "engine/flows.h"

namespace korvane {

namespace {

constexpr const char* kNotEnoughMemory = "**Failed** Not enough memory!\r\n";
constexpr const char* kPortOpened = "Port is opened!\r\n";
constexpr const char* kDownloadFinished = "File download finished!\r\n";

constexpr const char* kEchoOnCommand = "ATE1\r";
constexpr int kEchoOnTimeMs = 2000;
constexpr std::size_t kMainReplySize = 2048;

}  // namespace

JobFlows::JobFlows()
    : lineDownload(runLineDownload),
      blockDownload(runBlockDownload),
      deviceVersion(reportDeviceVersion),
      adapterVersion(reportAdapterVersion) {}

UpdateJob::UpdateJob() : UpdateJob(defaultChannelFactory()) {}

UpdateJob::UpdateJob(ChannelFactory factory) : UpdateJob(std::move(factory), JobFlows{}) {}

UpdateJob::UpdateJob(ChannelFactory factory, JobFlows flows)
    : factory_(std::move(factory)), flows_(std::move(flows)) {}

UpdateJob::~UpdateJob() {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        releasePort(slot);
    }
}

void UpdateJob::setReports(JobReports* reports) {
    {
        std::lock_guard<CriticalLock> hold(jobLock_);
        stopRequest_ = false;
    }
    reporter_ = Reporter(reports);
}

void UpdateJob::setReportSink(void* userData, ReportSink sink) {
    sinkReports_ = SinkReports(userData, sink);
    setReports(sink != nullptr ? &sinkReports_ : nullptr);
}

int UpdateJob::freeSlotFor(std::string_view path) {
    int free = -1;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (!slots_[slot].channel) {
            free = slot;
            break;
        }
    }
    if (free < 0) {
        reportText(kNotEnoughMemory);
        return -1;
    }
    if (path.size() > kMaxPathLength) {
        reportText(kFileInvalidText);
        reportText(pathTooLongReason(path.size(), kMaxPathLength).c_str());
        return -1;
    }
    if (path.find('\0') != std::string_view::npos) {
        reportText(kFileInvalidText);
        reportText("  the path holds a NUL byte, which no file name can; check the path.\r\n");
        return -1;
    }
    return free;
}

int UpdateJob::openPort(const PortChoice& port, std::string_view path) {
    const int free = freeSlotFor(path);
    if (free < 0) {
        return -1;
    }
    ChannelFailure failure;
    std::unique_ptr<Channel> channel;
    if (port.request) {
        channel = createChannel(
            *port.request, factory_, [this](const char* text) { reportText(text); }, &failure);
    } else {
        reportText(kPortParameterErrorText);
        failure.descriptor = port.problem;
    }
    if (!channel) {
        reportText(portFailureReason(failure).c_str());
        return -1;
    }
    slots_[free].channel = std::move(channel);
    slots_[free].path.assign(path);
    slots_[free].port = *port.request;
    reportText(kPortOpened);
    return free;
}

int UpdateJob::openPort(const PortRequest& port, std::string_view path) {
    return openPort(PortChoice{port, {}}, path);
}

int UpdateJob::openPort(std::string_view descriptor, std::string_view path) {
    PortChoice choice;
    choice.request = parsePortDescriptor(descriptor, &choice.problem);
    return openPort(choice, path);
}

void UpdateJob::releasePort(int slot) {
    if (slot < 0 || slot >= kSlotCount) {
        return;
    }
    if (running_ == &slots_[slot]) {
        running_ = nullptr;
    }
    slots_[slot].channel.reset();
    slots_[slot].path.clear();
}

JobOutcome UpdateJob::runUpdate(int slot) {
    PortSlot* held = heldSlot(slot);
    if (held == nullptr) {
        return JobOutcome{};
    }
    beginRun(*held, true);
    reportProgress(1);

    FileFailure fileFailure;
    const std::optional<std::int32_t> size = loadWholeFile(held->path, file_.data, &fileFailure);
    if (!size) {
        releaseFileBuffer();
        reportFailure(kFileInvalidText);
        reportText(fileFailureReason(fileFailure).c_str());
        return endedWithout();
    }
    file_.size = *size;
    if (*size < kMinUpdateFileSize) {
        reportFailure(kFileInvalidText);
        reportText(fileTooSmallReason(held->path, *size, kMinUpdateFileSize).c_str());
        releaseFileBuffer();
        return endedWithout();
    }

    // The check reports its own format error and progress 2, and releases the buffer on failure.
    if (!checkUpdateFile(file_, reporter_).sound()) {
        releaseFileBuffer();
        if (firstFailure_.empty()) {
            firstFailure_ = kFormatErrorText;
        }
        return endedWithout();
    }

    // A line or record the download would refuse or the adapter could not take is refused now,
    // before anything is sent, rather than half way through the download.
    if (const std::optional<int> unsendable = firstUnsendableLine(file_)) {
        reportFailure(unsendableFileText(file_));
        reportText(unsendableLineReason(*unsendable).c_str());
        releaseFileBuffer();
        return endedWithout();
    }

    // Echo on: the reply rules of the exchange count on it. The outcome does not matter.
    AnswerWatch watch(*held->channel);
    std::array<char, kMainReplySize> reply{};
    exchangeCommand(watch, kEchoOnCommand, reply.data(), reply.size(), kEchoOnTimeMs,
                    kEchoOnTimeMs);

    const FlowResult result = runFamilyFlow(watch);
    releaseFileBuffer();
    if (result != FlowResult::Completed) {
        reportReason(watch);
        return endedWithout();
    }
    finished_ = true;
    reportText(kDownloadFinished);
    reportProgress(100);
    return JobOutcome{JobResult::Finished, {}, AdapterState::Finished};
}

JobOutcome UpdateJob::readVersions(int slot) {
    PortSlot* held = heldSlot(slot);
    if (held == nullptr) {
        return JobOutcome{};
    }
    beginRun(*held, false);
    AnswerWatch watch(*held->channel);
    bool reported = false;
    if (flows_.deviceVersion) {
        reported =
            flows_.deviceVersion(*this, watch, kModelAzur03) == VersionReportResult::Reported;
    }
    if (flows_.adapterVersion) {
        reported =
            flows_.adapterVersion(*this, watch, kModelAzur03) == VersionReportResult::Reported ||
            reported;
    }
    if (reported) {
        return JobOutcome{JobResult::Finished, {}};
    }
    reportReason(watch);
    JobOutcome outcome = endedWithout();
    // A read-out never touches the firmware, so it is never a refusal.
    if (outcome.result == JobResult::Refused) {
        outcome.result = JobResult::Failed;
    }
    return outcome;
}

void UpdateJob::beginRun(PortSlot& held, bool updating) {
    firstFailure_.clear();
    downloadMode_ = false;
    finished_ = false;
    running_ = &held;
    updating_ = updating;
    lossTold_ = false;
    facts_ = FailureFacts{};
}

void UpdateJob::reportReason(const AnswerWatch& watch) {
    // A lost link is the reason, whatever the adapter did before it went.
    reportLinkLoss();
    if (lossTold_ || running_ == nullptr) {
        return;
    }
    if (stopRequested()) {
        // A stop request ends the run on purpose; the adapter's silence is then no reason, but an
        // adapter left in download mode needs saying.
        if (updating_ && adapterState() == AdapterState::DownloadMode) {
            reportText(stoppedInDownloadModeReason().c_str());
        }
        return;
    }
    if (watch.silent()) {
        reportText(silenceReason(running_->port, watch.silentCommand(), watch.silentWaitMs(),
                                 updating_, adapterState(), facts_.step)
                       .c_str());
        return;
    }
    if (updating_) {
        reportText(flowFailureReason(facts_, adapterState()).c_str());
    }
}

void UpdateJob::noteFailure(FailureFacts facts) {
    if (facts_.step == FailureStep::None) {
        facts_ = std::move(facts);
    }
}

void UpdateJob::reportLinkLoss() {
    if (lossTold_ || running_ == nullptr || !running_->channel || stopRequested()) {
        return;
    }
    const LinkLoss loss = running_->channel->linkLoss();
    if (!loss.lost()) {
        return;
    }
    lossTold_ = true;
    reportText(linkLossReason(running_->port, loss, updating_, adapterState()).c_str());
}

void UpdateJob::reportFailure(const char* text) {
    if (firstFailure_.empty() && text != nullptr) {
        firstFailure_ = text;
    }
    reportText(text);
}

// The outcome of a run that did not finish: stopped when the stop request was set, else a
// refusal or a failure by whether the adapter had been asked into download mode.
JobOutcome UpdateJob::endedWithout() {
    JobOutcome outcome;
    if (stopRequested()) {
        outcome.result = JobResult::Stopped;
    } else {
        outcome.result = downloadMode_ ? JobResult::Failed : JobResult::Refused;
    }
    outcome.failureText = firstFailure_;
    outcome.adapter = adapterState();
    return outcome;
}

AdapterState UpdateJob::adapterState() const {
    if (finished_) {
        return AdapterState::Finished;
    }
    return downloadMode_ ? AdapterState::DownloadMode : AdapterState::Untouched;
}

void UpdateJob::requestStop() {
    std::lock_guard<CriticalLock> hold(jobLock_);
    stopRequest_ = true;
}

bool UpdateJob::stopRequested() {
    std::lock_guard<CriticalLock> hold(jobLock_);
    return stopRequest_;
}

bool UpdateJob::slotInUse(int slot) const {
    return slotChannel(slot) != nullptr;
}

Channel* UpdateJob::slotChannel(int slot) const {
    if (slot < 0 || slot >= kSlotCount) {
        return nullptr;
    }
    return slots_[slot].channel.get();
}

PortSlot* UpdateJob::heldSlot(int slot) {
    if (slot < 0 || slot >= kSlotCount || !slots_[slot].channel) {
        return nullptr;
    }
    return &slots_[slot];
}

FlowResult UpdateJob::runFamilyFlow(Channel& channel) {
    // The check sets no family other than 1 and 2; anything else would be a fault, never success.
    switch (file_.family) {
        case 1:
            return flows_.blockDownload ? flows_.blockDownload(*this, channel) : FlowResult::Failed;
        case 2:
            return flows_.lineDownload ? flows_.lineDownload(*this, channel) : FlowResult::Failed;
        default:
            return FlowResult::Failed;
    }
}

// The buffer is handed back exactly once per run: a buffer that is already gone (the check
// releases it on failure) is not released again.
void UpdateJob::releaseFileBuffer() {
    if (!file_.data.empty() || file_.size != 0) {
        file_.release();
    }
}

}  // namespace korvane
