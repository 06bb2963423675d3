#include "engine/update_job.h"

#include <array>
#include <mutex>
#include <optional>
#include <utility>
#include <variant>

#include "engine/answer_watch.h"
#include "engine/command_exchange.h"
#include "engine/failure_reason.h"
#include "engine/flows.h"
#include "engine/stop_aware_channel.h"

namespace korvane {

namespace {

constexpr const char* kNotEnoughMemory = "**Failed** Not enough memory!\r\n";
constexpr const char* kPortOpened = "Port is opened!\r\n";
constexpr const char* kDownloadFinished = "File download finished!\r\n";

constexpr const char* kEchoOnCommand = "ATE1\r";
constexpr int kEchoOnTimeMs = 2000;
constexpr std::size_t kMainReplySize = 2048;

// The facts of a run on `port` with `path`, before anything was learned.
RunFacts startingFacts(bool update, const PortRequest& port, std::string_view path) {
    RunFacts facts;
    facts.update = update;
    facts.port = portDescriptorText(port);
    facts.link = std::holds_alternative<TcpPortRequest>(port) ? "tcp" : "serial";
    facts.path.assign(path);
    return facts;
}

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
    stopSignal_.clear();
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
    firstFailure_.clear();
    firstReason_.clear();
    const auto tell = [this](const char* text) {
        if (firstFailure_.empty() && text != nullptr) {
            firstFailure_ = text;
        }
        reportText(text);
    };
    if (port.request) {
        channel = createChannel(*port.request, factory_, tell, &failure,
                                OpenStop([this] { return stopRequested(); }, &stopSignal_));
    } else {
        tell(kPortParameterErrorText);
        failure.descriptor = port.problem;
    }
    if (!channel && failure.open.cause == OpenCause::Stopped) {
        // Stopped while the port was being opened: nothing reached the adapter.
        if (!path.empty()) {
            reportReasonLine(stoppedBeforeDownloadReason());
        }
        return -1;
    }
    if (!channel) {
        reportReasonLine(portFailureReason(failure));
        noteOpenFailure(port, path);
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

JobOutcome UpdateJob::run(int slot, JobKind kind, const PreparedUpdateFile* prepared) {
    if (kind == JobKind::Read) {
        return readVersions(slot);
    }
    // The slot's own file goes through runUpdate, which a job of another kind may override.
    return prepared != nullptr ? runPreparedUpdate(slot, prepared) : runUpdate(slot);
}

JobOutcome UpdateJob::runUpdate(int slot) {
    return runPreparedUpdate(slot, nullptr);
}

JobOutcome UpdateJob::runPreparedUpdate(int slot, const PreparedUpdateFile* prepared) {
    PortSlot* held = heldSlot(slot);
    if (held == nullptr) {
        return JobOutcome{};
    }
    beginRun(*held, true);
    reportProgress(1);
    if (prepared != nullptr) {
        return runPrepared(*held, *prepared);
    }
    return runPrepared(*held, prepareUpdateFile(held->path));
}

JobOutcome UpdateJob::runPrepared(PortSlot& held, const PreparedUpdateFile& prepared) {
    if (prepared.file) {
        runFacts_.fileSize = prepared.file->size;
        if (observer_ != nullptr) {
            observer_->fileLoaded(prepared.file->data);
        }
    }
    if (!prepared.sound()) {
        reportFileRefusal(prepared);
        return endRun(endedWithout());
    }
    reportProgress(2);
    file_ = prepared.file;
    runFacts_.family = file_->family;
    runFacts_.fileModel = file_->modelName;
    runFacts_.fileVersion = file_->versionText;

    // Echo on: the reply rules of the exchange count on it. The outcome does not matter.
    StopAwareChannel stoppable(*held.channel, *this);
    AnswerWatch watch(stoppable);
    std::array<char, kMainReplySize> reply{};
    exchangeCommand(watch, kEchoOnCommand, reply.data(), reply.size(), kEchoOnTimeMs,
                    kEchoOnTimeMs);
    if (stopRequested()) {
        file_.reset();
        return endRun(endedWithout());
    }

    const FlowOutcome flow = runFamilyFlow(watch);
    file_.reset();
    keepAdapterFacts(flow.adapter);
    if (flow.result != FlowResult::Completed) {
        reportReason(watch);
        return endRun(endedWithout());
    }
    finished_ = true;
    // Recorded before the end is told, so that a finished update is never missing from the record.
    const JobOutcome finished =
        endRun(JobOutcome{JobResult::Finished, {}, {}, AdapterState::Finished});
    reportText(kDownloadFinished);
    reportProgress(100);
    return finished;
}

void UpdateJob::reportFileRefusal(const PreparedUpdateFile& prepared) {
    // The file's own check tells its fault before its progress; a file it passed is refused after.
    if (prepared.verdict == FileVerdict::Unsendable) {
        reportProgress(2);
    }
    reportFailure(prepared.failureText.c_str());
    reportReasonLine(prepared.reasonLine);
    if (prepared.verdict == FileVerdict::FormatError) {
        reportProgress(2);
    }
}

JobOutcome UpdateJob::noteFileRefusal(const PortRequest& port, std::string_view path,
                                      const PreparedUpdateFile& prepared) {
    running_ = nullptr;
    runFacts_ = startingFacts(true, port, path);
    if (observer_ != nullptr) {
        observer_->runStarted(runFacts_);
    }
    if (prepared.file) {
        runFacts_.fileSize = prepared.file->size;
        if (observer_ != nullptr) {
            observer_->fileLoaded(prepared.file->data);
        }
    }
    return endRun(JobOutcome{JobResult::Refused, prepared.failureText, prepared.reasonLine});
}

const UpdateFile& UpdateJob::file() const {
    static const UpdateFile kNoFile;
    return file_ ? *file_ : kNoFile;
}

JobOutcome UpdateJob::readVersions(int slot) {
    PortSlot* held = heldSlot(slot);
    if (held == nullptr) {
        return JobOutcome{};
    }
    beginRun(*held, false);
    StopAwareChannel stoppable(*held->channel, *this);
    AnswerWatch watch(stoppable);
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
        return endRun(JobOutcome{JobResult::Finished, {}, {}});
    }
    reportReason(watch);
    JobOutcome outcome = endedWithout();
    // A read-out never touches the firmware, so it is never a refusal.
    if (outcome.result == JobResult::Refused) {
        outcome.result = JobResult::Failed;
    }
    return endRun(std::move(outcome));
}

void UpdateJob::beginRun(PortSlot& held, bool updating) {
    firstFailure_.clear();
    firstReason_.clear();
    downloadMode_ = false;
    finished_ = false;
    facts_ = FailureFacts{};
    changeTold_ = false;
    running_ = &held;
    updating_ = updating;
    lossTold_ = false;
    noisyCommand_.clear();
    runFacts_ = startingFacts(updating, held.port, updating ? held.path : std::string());
    if (observer_ != nullptr) {
        observer_->runStarted(runFacts_);
    }
}

JobOutcome UpdateJob::endRun(JobOutcome outcome) {
    if (observer_ != nullptr) {
        observer_->runEnded(runFacts_, outcome);
    }
    return outcome;
}

void UpdateJob::noteOpenFailure(const PortChoice& port, std::string_view path) {
    if (observer_ == nullptr) {
        return;
    }
    // The window and the command line open a read-out's port with the empty path.
    const bool update = !path.empty();
    if (port.request) {
        runFacts_ = startingFacts(update, *port.request, path);
    } else {
        runFacts_ = RunFacts{};
        runFacts_.update = update;
        runFacts_.port = port.problem.descriptor;
        runFacts_.path.assign(path);
    }
    observer_->runStarted(runFacts_);
    // Nothing reached the adapter: an update is refused, a read-out failed.
    observer_->runEnded(runFacts_, JobOutcome{update ? JobResult::Refused : JobResult::Failed,
                                              firstFailure_, firstReason_});
}

bool UpdateJob::enterDownloadMode(const AdapterFacts& known) {
    // Once in download mode the stop is the download loops' to honour, between two units; only a
    // first entry is refused after a stop.
    if (downloadMode_) {
        return true;
    }
    if (stopRequested()) {
        return false;
    }
    downloadMode_ = true;
    if (!changeTold_) {
        changeTold_ = true;
        runFacts_.downloadMode = true;
        runFacts_.appMode = known.application();
        runFacts_.deviceCode = known.deviceCode;
        if (observer_ != nullptr) {
            observer_->changeAhead(runFacts_);
        }
    }
    return true;
}

void UpdateJob::noteDownloadModeRefused() {
    downloadMode_ = false;
    runFacts_.downloadMode = false;
}

AdapterState UpdateJob::adapterState() const {
    if (finished_) {
        return AdapterState::Finished;
    }
    return downloadMode_ ? AdapterState::DownloadMode : AdapterState::Untouched;
}

void UpdateJob::noteFailure(FailureFacts facts) {
    if (facts_.step == FailureStep::None) {
        facts_ = std::move(facts);
    }
}

void UpdateJob::keepAdapterFacts(const AdapterFacts& adapter) {
    runFacts_.deviceCode = adapter.deviceCode;
    if (adapter.appMode) {
        runFacts_.appMode = adapter.appMode;
    }
}

void UpdateJob::noteDeviceVersion(const std::string& text) {
    (changeTold_ ? runFacts_.after : runFacts_.before).device = text;
}

void UpdateJob::noteAdapterVersion(const std::string& text) {
    (changeTold_ ? runFacts_.after : runFacts_.before).adapter = text;
}

void UpdateJob::reportReasonLine(const std::string& line) {
    if (!firstFailure_.empty() && firstReason_.empty()) {
        firstReason_ = line;
    }
    reportText(line.c_str());
}

void UpdateJob::reportReason(const AnswerWatch& watch) {
    // A lost link is the reason, whatever the adapter did before it went.
    reportLinkLoss();
    if (lossTold_ || running_ == nullptr) {
        return;
    }
    if (stopEndsRun()) {
        // A stop request ends the run on purpose; the adapter's silence is then no reason, but an
        // adapter left in download mode needs saying.
        if (updating_ && adapterState() == AdapterState::DownloadMode) {
            reportReasonLine(stoppedInDownloadModeReason());
        }
        return;
    }
    // An answer of line noise was taken for none; the adapter was not silent, and what the flow
    // made of the missing answer is not the reason either.
    if (reportLineNoise()) {
        return;
    }
    if (watch.silent()) {
        reportReasonLine(silenceReason(running_->port, watch.silentCommand(), watch.silentWaitMs(),
                                       updating_, adapterState(), facts_.step));
        return;
    }
    if (updating_) {
        reportReasonLine(flowFailureReason(facts_, adapterState()));
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
    reportReasonLine(linkLossReason(running_->port, loss, updating_, adapterState()));
}

void UpdateJob::noteLineNoise(const char* command) {
    if (noisyCommand_.empty() && command != nullptr) {
        noisyCommand_ = command;
        if (!noisyCommand_.empty() && noisyCommand_.back() == '\r') {
            noisyCommand_.pop_back();
        }
    }
}

bool UpdateJob::reportLineNoise() {
    if (noisyCommand_.empty()) {
        return false;
    }
    reportReasonLine(lineNoiseReason(noisyCommand_));
    return true;
}

void UpdateJob::reportFailure(const char* text) {
    // After a stop that came before download mode, what failed failed only because of it.
    if (!downloadMode_ && stopEndsRun()) {
        return;
    }
    if (firstFailure_.empty() && text != nullptr) {
        firstFailure_ = text;
    }
    // The reason follows once the failure's whole group of texts is out (reportReason).
    reportText(text);
}

// The outcome of a run that did not finish: stopped when the stop request was set, else a
// refusal or a failure by whether the adapter had been asked into download mode.
JobOutcome UpdateJob::endedWithout() {
    JobOutcome outcome;
    if (stopEndsRun()) {
        outcome.result = JobResult::Stopped;
        if (updating_ && !downloadMode_) {
            reportReasonLine(stoppedBeforeDownloadReason());
        }
    } else {
        outcome.result = downloadMode_ ? JobResult::Failed : JobResult::Refused;
    }
    outcome.failureText = firstFailure_;
    outcome.reasonText = firstReason_;
    outcome.adapter = adapterState();
    return outcome;
}

void UpdateJob::requestStop() {
    {
        std::lock_guard<CriticalLock> hold(jobLock_);
        stopRequest_ = true;
    }
    stopSignal_.set();
}

bool UpdateJob::stopEndsRun() {
    const bool refusedDownloadMode = changeTold_ && !downloadMode_;
    return !refusedDownloadMode && stopRequested();
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

FlowOutcome UpdateJob::runFamilyFlow(Channel& channel) {
    // The check sets no family other than 1 and 2; anything else would be a fault, never success.
    const std::function<FlowOutcome(FlowContext&, Channel&)>* flow = nullptr;
    if (file().family == 1) {
        flow = &flows_.blockDownload;
    } else if (file().family == 2) {
        flow = &flows_.lineDownload;
    }
    return flow != nullptr && *flow ? (*flow)(*this, channel) : FlowOutcome{};
}

}  // namespace korvane
