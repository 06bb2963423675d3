#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "channel/channel_factory.h"
#include "channel/serial/serial_port_list.h"
#include "engine/adapter_discovery.h"
#include "engine/update_job.h"
#include "history/history_reader.h"
#include "history/history_recorder.h"
#include "ui/model/port_lister.h"
#include "ui/model/window_layout.h"
#include "ui/model/window_view.h"

namespace korvane {

class WorkerThread;

// How the user asked the window to close: Esc (the dialog's Cancel) or the close box.
enum class CloseRequest { Escape, CloseBox };
// What the view does about it: nothing, its close procedure, or end the process at once.
enum class CloseAction { Stay, Close, EndProcess };

// What the main window decides, whatever toolkit draws it: Idle and Busy, the port chosen in
// the panel of the device type, the start of an Update or a Read on the job with its worker, what a
// report does to the output box and the progress bar, and the Esc, close and Enter rules. A view
// (Qt, Win32) owns the controls and the window's thread and implements WindowView; the model
// calls it for every read of a control and every change of one.
//
// The model is where the job reports (its JobReports). Reports made on the window's thread (during
// openPort) are shown at once; reports from the worker are carried out on the window's thread while
// the worker waits, and the worker's last step is posted, not waited for: once the model is Idle
// again the worker makes no further call into the window, so joining it from the window's thread
// can never block on that thread.
class WindowModel : private JobReports {
public:
    WindowModel(UpdateJob& job, PortLister lister, WindowView& view);
    ~WindowModel();
    WindowModel(const WindowModel&) = delete;
    WindowModel& operator=(const WindowModel&) = delete;

    // Registers the model as where the job reports and as the process's traffic-log notice
    // handler (until the model goes). The view calls it during its initialisation.
    void attach();

    // Records every Update and Read of the window in the history kept in `folder`, as front end
    // `frontEnd` ("qt", "win32"). A record that cannot be stored is told in the output box; the
    // job goes on. Called once, before the first job.
    void keepHistory(const std::string& folder, const std::string& frontEnd);
    // The history, newest first, for the window's history table: what the folder holds, with the
    // window's own last run first even when it could not be stored. Nothing when no history is
    // kept.
    HistoryReadout history() const;
    bool keepsHistory() const { return recorder_ != nullptr; }

    // The machine's serial ports, for both serial panels and for Refresh.
    std::vector<std::string> listPorts() const;

    // Update: the path box must not be empty; Read needs no path. Either starts nothing when the
    // chosen serial panel has no port or no baud rate selected, or when a job already runs.
    void startUpdate();
    void startRead();
    // Find: probes, on a worker, the selected port first and then every listed port at every rate
    // (WIFI: the address and port of the boxes), read-only; writes each port's finding to the
    // output box and fills the panel with the first adapter found. Update, Read and Find are
    // disabled meanwhile; Esc and the close box behave as during a Read.
    void startFind();
    // What Find opens its ports with (the program's real serial and TCP kinds by default).
    void setFindFactory(ChannelFactory factory) { findFactory_ = std::move(factory); }
    void setFindTiming(ProbeTiming timing) { findTiming_ = timing; }
    // What the system knows of each serial port (listSerialPortDetails by default): Find takes
    // the device type of the port it found from it, where the system tells Bluetooth or USB.
    void setPortDetails(std::function<std::vector<SerialPortInfo>()> details) {
        portDetails_ = std::move(details);
    }
    // The serial ports changed (a port appeared or went): lists them again in both panels.
    void portsChanged();

    bool isBusy() const { return running_.has_value(); }
    // The kind of the job that runs, or nothing when Idle.
    std::optional<WindowActivity> runningJob() const { return running_; }
    // How the last job ended, as the job itself told it; valid once the model is Idle again after
    // that job. The window shows only the job's own texts: it adds nothing for an outcome.
    const JobOutcome& lastOutcome() const { return lastOutcome_; }

    // The port of the chosen device type, or nothing when a serial panel lacks a choice. Boxes
    // that make no port give the problem, which the job reports when it is asked to open it.
    std::optional<PortChoice> choosePort() const;

    // A file chosen with Browse: its path goes into the path box when it fits whole; otherwise
    // the box keeps what it had and the output box says why. Nothing for an empty choice.
    void takeChosenFile(const std::string& path);

    // Clear: empties the output box.
    void clearOutput();

    // Esc or the close box. Esc closes only when Idle: while a job runs it would abandon it half
    // way, so it does nothing then. The close box closes at once when Idle; while a job runs it
    // first asks `confirm` closeQuestion(), and a confirmed close ends the process at once, with
    // nothing cleaned up, unless the job ended while the question was open.
    CloseAction decideClose(CloseRequest request,
                            const std::function<bool(const std::string& question)>& confirm) const;

    // The close procedure's part in the model: sets the job's stop request and joins the finished
    // workers. Only when Idle.
    void stopAndJoin();
    // Sets the job's stop request alone: for a window torn down while a job runs, which then
    // waits for the worker's last step before joining.
    // Also ends a running Find after the rate each port is at.
    void requestStop();

    // Enter pressed with `focused` holding the keyboard focus: the button whose action runs, or
    // nothing. A focused button runs itself; only the path box and the Update button start an
    // Update; Enter anywhere else does nothing.
    static std::optional<WindowControl> enterRuns(WindowControl focused);

    // Tells the view to run when Busy ends (for tests and the screenshot tour).
    void setIdleListener(std::function<void()> listener) { idleListener_ = std::move(listener); }

private:
    // The question asked before a running job is abandoned, worded for the job that runs.
    std::string closeQuestion() const;
    // A report of the job: a text goes to the output box, progress to the bar.
    void onText(const char* text) override;
    void onProgress(int percent) override;
    // Carries out what a report does to the controls on the window's thread.
    void show(const std::function<void()>& action);
    void startJob(JobKind kind, const std::string& path);
    void runWork(JobKind kind, int slot);
    void runFind(std::vector<DiscoveryTarget> targets);
    void findDone(const std::vector<PortFinding>& findings);
    void workerDone();
    void setBusy(std::optional<WindowActivity> activity);

    // The argument a worker receives; a field of the model, so it outlives the worker.
    struct WorkerContext {
        int slot = -1;
        WindowModel* model = nullptr;
    };

    UpdateJob& job_;
    std::unique_ptr<HistoryLog> historyLog_;
    std::unique_ptr<HistoryRecorder> recorder_;
    PortLister lister_;
    WindowView& view_;
    std::optional<WindowActivity> running_;
    // Written by the worker before it posts its last step, read on the window's thread after it.
    JobOutcome workerOutcome_;
    JobOutcome lastOutcome_;
    std::function<void()> idleListener_;
    WorkerContext updateContext_;
    WorkerContext readContext_;
    std::unique_ptr<WorkerThread> updateWorker_;
    std::unique_ptr<WorkerThread> readWorker_;
    std::unique_ptr<WorkerThread> findWorker_;
    std::atomic<bool> findStop_{false};
    ChannelFactory findFactory_;
    ProbeTiming findTiming_;
    std::function<std::vector<SerialPortInfo>()> portDetails_;
    // The device type Find was started from; a serial port found fills this panel unless the
    // system tells Bluetooth or USB for it.
    DeviceType findType_ = DeviceType::Bt;
    std::vector<PortFinding> foundByWorker_;  // written by the worker before its last step
};

}  // namespace korvane
