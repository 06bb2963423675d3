#include "ui/model/window_model.h"

#include <utility>

#include "channel/traffic_log_notice.h"
#include "channel/worker_thread.h"
#include "engine/failure_reason.h"
#include "engine/shown_text.h"
#include "ui/model/input_bounds.h"
#include "ui/thread_handoff.h"

namespace korvane {

namespace {

// The questions asked when the close box is used while a job runs.
constexpr const char* kAbandonUpdateQuestion =
    "An update is running. Closing now stops it half way, and the adapter may then have to be "
    "powered off and on and updated again.\n\nClose anyway?";
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
    : job_(job), lister_(std::move(lister)), view_(view) {}

WindowModel::~WindowModel() {
    setTrafficLogProblemHandler(nullptr);
    updateWorker_.reset();
    readWorker_.reset();
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

void WindowModel::setBusy(std::optional<JobKind> kind) {
    running_ = kind;
    view_.setControlsEnabled(!kind.has_value());
}

void WindowModel::startJob(JobKind kind, const std::string& path) {
    if (isBusy()) {
        return;
    }
    const std::optional<PortChoice> port = choosePort();
    if (!port) {
        return;
    }
    setBusy(kind);
    view_.setProgress(0);

    const int slot = job_.openPort(*port, path);
    if (slot < 0) {
        setBusy(std::nullopt);
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
    workerOutcome_ = kind == JobKind::Update ? job_.runUpdate(slot) : job_.readVersions(slot);
    job_.releasePort(slot);
    handOver(this);
    view_.post([this] { workerDone(); });
}

void WindowModel::workerDone() {
    takeOver(this);
    lastOutcome_ = workerOutcome_;
    setBusy(std::nullopt);
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
    return running_ == JobKind::Read ? kAbandonReadQuestion : kAbandonUpdateQuestion;
}

void WindowModel::stopAndJoin() {
    job_.requestStop();
    updateWorker_.reset();
    readWorker_.reset();
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
            return focused;
        case WindowControl::Other:
            break;
    }
    return std::nullopt;
}

}  // namespace korvane
