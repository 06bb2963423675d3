#include "ui/model/window_model.h"

#include <algorithm>
#include <utility>
#include <variant>

#include "channel/traffic_log/traffic_log_notice.h"
#include "engine/failure_reason.h"
#include "engine/finding_text.h"
#include "engine/shown_text.h"
#include "platform/worker_thread.h"
#include "ui/model/input_bounds.h"
#include "ui/qt/thread_handoff.h"

namespace korvane {

namespace {

// The questions asked when the close box is used while a job runs.
constexpr const char* kAbandonUpdateQuestion =
    "An update is running. Closing now stops it half way, and the adapter may then have to be "
    "powered off and on and updated again.\n\nClose anyway?";
constexpr const char* kAbandonFindQuestion =
    "The ports are being searched for an adapter. Closing now stops the search; nothing that "
    "changes an adapter is ever sent.\n\nClose anyway?";
constexpr const char* kAbandonReadQuestion =
    "The adapter's versions are being read. Closing now stops the read-out; the adapter's "
    "firmware is not touched.\n\nClose anyway?";

// Said when Browse returns a file whose path the job could not keep whole.
constexpr const char* kPathTooLongText =
    "The chosen file's path is longer than 1023 bytes and cannot be used; move the file to a "
    "shorter path.\r\n";

// A report's text as the output box shows it, in UTF-8 (texts from outside reach the job's
// reports escaped and UTF-8 already; anything else 8-bit is taken as Latin-1): the box breaks
// lines at "\n" alone.
std::string outputText(const char* text) {
    std::string shown;
    for (const char* at = text; *at != '\0'; ++at) {
        if (*at != '\r') {
            shown.push_back(*at);
        }
    }
    return asUtf8(shown);
}

}  // namespace

WindowModel::WindowModel(UpdateJob& job, PortLister lister, WindowView& view)
    : job_(job),
      lister_(std::move(lister)),
      view_(view),
      findFactory_(defaultChannelFactory()),
      portDetails_(listSerialPortDetails) {}

WindowModel::~WindowModel() {
    setTrafficLogProblemHandler(nullptr);
    findStop_.store(true);
    updateWorker_.reset();
    readWorker_.reset();
    findWorker_.reset();
    job_.setRunObserver(nullptr);
}

void WindowModel::keepHistory(const std::string& folder, const std::string& frontEnd) {
    historyLog_ = std::make_unique<HistoryLog>(
        folder, frontEnd, [this](const std::string& text) { onText((text + "\r\n").c_str()); });
    recorder_ = std::make_unique<HistoryRecorder>(*historyLog_);
    job_.setRunObserver(recorder_.get());
}

HistoryReadout WindowModel::history() const {
    if (!historyLog_) {
        return {};
    }
    HistoryReadout readout = readHistory(historyLog_->folder());
    const std::optional<HistoryRecord> own = recorder_->lastRecord();
    if (own) {
        const bool stored =
            std::any_of(readout.records.begin(), readout.records.end(),
                        [&own](const HistoryRecord& record) { return record.id == own->id; });
        if (!stored) {
            readout.records.insert(readout.records.begin(), *own);
        }
    }
    return readout;
}

void WindowModel::attach() {
    job_.setReports(this);
    // A traffic log that cannot be opened or written is told once in the output box, as a reason
    // line; the job goes on. The notice comes on whichever thread hit the problem, often the
    // worker's in the middle of a read or write: from there it is posted, never waited for.
    setTrafficLogProblemHandler([this](const TrafficLogProblem& problem) {
        std::function<void()> action =
            [this, shown = outputText(
                       (kReasonIndent + trafficLogProblemText(problem) + "\r\n").c_str())] {
                if (view_.isShown()) {
                    view_.appendOutput(shown, true);
                }
            };
        if (view_.onWindowThread()) {
            action();
        } else {
            view_.post(std::move(action));
        }
    });
}

std::vector<std::string> WindowModel::listPorts() const {
    return lister_ ? lister_() : std::vector<std::string>{};
}

std::optional<PortChoice> WindowModel::choosePort() const {
    const DeviceType type = view_.deviceType();
    if (type == DeviceType::Wifi) {
        return tcpPortChoice(view_.wifiAddress(), view_.wifiPort());
    }
    const SerialChoice choice = view_.serialChoice(type);
    if (choice.portIndex < 0 || choice.baudIndex < 0) {
        return std::nullopt;
    }
    return serialPortChoice(choice.port, choice.baud);
}

void WindowModel::startUpdate() {
    const std::string path = view_.pathText();
    if (path.empty()) {
        return;
    }
    startJob(JobKind::Update, path);
}

void WindowModel::startRead() {
    startJob(JobKind::Read, std::string());
}

void WindowModel::startFind() {
    if (isBusy()) {
        return;
    }
    findType_ = view_.deviceType();
    std::vector<DiscoveryTarget> targets;
    if (findType_ == DeviceType::Wifi) {
        const PortChoice choice = tcpPortChoice(view_.wifiAddress(), view_.wifiPort());
        if (!choice.request) {
            ChannelFailure failure;
            failure.descriptor = choice.problem;
            view_.appendOutput(outputText(portFailureReason(failure).c_str()), true);
            return;
        }
        targets.push_back({*choice.request, false});
    } else {
        std::vector<std::string> names;
        const SerialChoice choice = view_.serialChoice(findType_);
        if (choice.portIndex >= 0 && !choice.port.empty()) {
            names.push_back(choice.port);
        }
        for (const std::string& name : listPorts()) {
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                names.push_back(name);
            }
        }
        for (const std::string& name : names) {
            const PortRequest request = SerialPortRequest{name, 115200};
            if (fitsDescriptor(request)) {
                targets.push_back({request, true});
            }
        }
        if (targets.empty()) {
            view_.appendOutput(outputText("Find: no serial ports found.\r\n"), true);
            return;
        }
    }
    setBusy(WindowActivity::Find);
    view_.appendOutput(
        outputText(("Find: looking for an adapter on " + std::to_string(targets.size()) +
                    (targets.size() == 1 ? " port" : " ports") + "...\r\n")
                       .c_str()),
        true);
    findStop_.store(false);
    findWorker_.reset();
    findWorker_ = std::make_unique<WorkerThread>(
        [this, targets = std::move(targets)]() mutable { runFind(std::move(targets)); });
}

void WindowModel::runFind(std::vector<DiscoveryTarget> targets) {
    DiscoveryOptions options;
    options.timing = findTiming_;
    options.stop = &findStop_;
    // Each port's finding as soon as it is known; posted, so that no worker ever waits for the
    // window's thread.
    options.onFinding = [this](std::size_t, const PortFinding& finding) {
        view_.post([this, shown = outputText((findingLine(finding) + "\r\n").c_str())] {
            if (view_.isShown()) {
                view_.appendOutput(shown, true);
            }
        });
    };
    foundByWorker_ = discoverAdapters(targets, findFactory_, options);
    handOver(this);
    view_.post([this] {
        takeOver(this);
        findDone(foundByWorker_);
    });
}

void WindowModel::findDone(const std::vector<PortFinding>& findings) {
    const auto first = std::find_if(findings.begin(), findings.end(),
                                    [](const PortFinding& finding) { return finding.found(); });
    std::string said;
    if (first == findings.end()) {
        said = "Find: no adapter found.\r\n";
    } else if (const auto* serial = std::get_if<SerialPortRequest>(&first->request)) {
        DeviceType type = findType_ == DeviceType::Wifi ? DeviceType::Bt : findType_;
        for (const SerialPortInfo& port :
             portDetails_ ? portDetails_() : std::vector<SerialPortInfo>{}) {
            const std::string kind = port.name == serial->name ? serialPortKind(port) : "";
            if (kind == "usb") {
                type = DeviceType::Usb;
            } else if (kind == "bluetooth") {
                type = DeviceType::Bt;
            }
        }
        view_.showFoundAdapter(type, serial->name, std::to_string(serial->baud));
        said =
            "Find: chosen " + serial->name + " at " + std::to_string(serial->baud) + " baud.\r\n";
    } else {
        view_.showFoundAdapter(DeviceType::Wifi, std::string(), std::string());
        said = "Find: chosen " + findingPortName(*first) + ".\r\n";
    }
    if (view_.isShown()) {
        view_.appendOutput(outputText(said.c_str()), true);
    }
    setBusy(std::nullopt);
    if (idleListener_) {
        idleListener_();
    }
}

void WindowModel::portsChanged() {
    view_.replacePortLists(listPorts());
}

void WindowModel::setBusy(std::optional<WindowActivity> activity) {
    running_ = activity;
    view_.setControlsEnabled(!activity.has_value());
}

void WindowModel::startJob(JobKind kind, const std::string& path) {
    if (isBusy()) {
        return;
    }
    const std::optional<PortChoice> port = choosePort();
    if (!port) {
        return;
    }
    setBusy(kind == JobKind::Update ? WindowActivity::Update : WindowActivity::Read);
    view_.setProgress(0);

    const int slot = job_.openPort(*port, path);
    if (slot < 0) {
        setBusy(std::nullopt);
        view_.historyChanged();
        return;
    }

    std::unique_ptr<WorkerThread>& worker = kind == JobKind::Update ? updateWorker_ : readWorker_;
    WorkerContext& context = kind == JobKind::Update ? updateContext_ : readContext_;
    // The previous worker of this kind has finished its work: the model is Idle only after its
    // last step. Joining it waits at most for its thread to return.
    worker.reset();
    context = WorkerContext{slot, this};
    worker = std::make_unique<WorkerThread>(
        [kind, work = &context] { work->model->runWork(kind, work->slot); });
}

void WindowModel::runWork(JobKind kind, int slot) {
    workerOutcome_ = job_.run(slot, kind);
    job_.releasePort(slot);
    handOver(this);
    view_.post([this] { workerDone(); });
}

void WindowModel::workerDone() {
    takeOver(this);
    lastOutcome_ = workerOutcome_;
    setBusy(std::nullopt);
    view_.historyChanged();
    if (idleListener_) {
        idleListener_();
    }
}

void WindowModel::onText(const char* text) {
    // Copied here: the job's text may live in a buffer that is reused once we return.
    show([this, shown = outputText(text)] {
        if (view_.isShown()) {
            view_.appendOutput(shown, true);
        }
    });
}

void WindowModel::onProgress(int percent) {
    show([this, percent] {
        if (view_.isShown()) {
            view_.setProgress(percent);
        }
    });
}

void WindowModel::show(const std::function<void()>& action) {
    if (view_.onWindowThread()) {
        action();
        return;
    }
    // The worker waits until the window's thread has carried the report out, so reports reach
    // the controls in order. The toolkits' queues are invisible to the thread sanitizer, so the
    // hand-over in each direction is marked.
    handOver(this);
    view_.carryOut([this, &action] {
        takeOver(this);
        action();
        handOver(this);
    });
    takeOver(this);
}

void WindowModel::takeChosenFile(const std::string& path) {
    if (path.empty()) {
        return;
    }
    if (!fitsBound(path, kMaxPathBytes)) {
        view_.appendOutput(outputText(kPathTooLongText), true);
        return;
    }
    view_.setPathText(path);
}

void WindowModel::clearOutput() {
    view_.appendOutput(std::string(), false);
}

std::string WindowModel::closeQuestion() const {
    if (running_ == WindowActivity::Find) {
        return kAbandonFindQuestion;
    }
    return running_ == WindowActivity::Read ? kAbandonReadQuestion : kAbandonUpdateQuestion;
}

void WindowModel::requestStop() {
    job_.requestStop();
    findStop_.store(true);
}

void WindowModel::stopAndJoin() {
    requestStop();
    updateWorker_.reset();
    readWorker_.reset();
    findWorker_.reset();
}

std::optional<WindowControl> WindowModel::enterRuns(WindowControl focused) {
    switch (focused) {
        case WindowControl::PathBox:
        case WindowControl::Update:
            return WindowControl::Update;
        case WindowControl::Browse:
        case WindowControl::Read:
        case WindowControl::Clear:
        case WindowControl::Refresh:
        case WindowControl::Find:
        case WindowControl::WifiFind:
            return focused;
        default:
            return std::nullopt;
    }
}

CloseAction WindowModel::decideClose(
    CloseRequest request, const std::function<bool(const std::string& question)>& confirm) const {
    if (!isBusy()) {
        return CloseAction::Close;
    }
    if (request == CloseRequest::Escape || !confirm || !confirm(closeQuestion())) {
        return CloseAction::Stay;
    }
    // The question runs the window's events: the job may have ended meanwhile.
    return isBusy() ? CloseAction::EndProcess : CloseAction::Close;
}

}  // namespace korvane
