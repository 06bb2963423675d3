#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/update_job.h"
#include "ui/dialog_units.h"
#include "ui/port_lister.h"

class QAction;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace korvane {

class SerialPortPanel;
class WifiPanel;
class WorkerThread;

// Sets up the file-open dialog of Browse: one existing file, filter "Firmware File (*.*)".
void configureFirmwareDialog(QFileDialog& dialog);

// The program's main window. The user picks the device type and its port settings and a
// firmware file, and starts an update or a version read-out; the window opens the port through
// the UpdateJob on its own thread, runs the job's work on a WorkerThread, and shows every report
// of the job in its output box and progress bar.
//
// While a job runs (Busy) every input control is disabled; the worker's last step hands the
// window back to Idle. The window is the job's ReportSink: reports from the window's own thread
// are shown directly, reports from the worker are carried out on the window's thread while the
// worker waits.
class UpdaterWindow : public QDialog {
    Q_OBJECT

public:
    // Longest firmware path, in bytes, that the job keeps whole.
    static constexpr int kMaxPathLength = static_cast<int>(UpdateJob::kMaxPathLength);

    UpdaterWindow(UpdateJob& job, PortLister lister, QWidget* parent = nullptr);
    ~UpdaterWindow() override;

    // The ReportSink registered with the job: kind 0 appends a text to the output box, kind 1
    // moves the progress bar. Ignored while the window is not visible.
    static void showReport(void* window, int kind, std::intptr_t value);

    // Appends `text` (append set) or replaces the whole output with it, then scrolls to the last
    // line and repaints the box at once.
    void appendOutput(const QString& text, bool append);
    void setControlsEnabled(bool enabled);
    void onBrowse();
    void onUpdate();
    void onRead();

    // Busy while a job runs: told, as the user sees it, by the Update button being disabled.
    bool isBusy() const;
    // How the last job ended, as the job itself told it; valid once workerFinished was emitted.
    // The window shows only the job's own texts: it adds nothing of its own for an outcome.
    const JobOutcome& lastOutcome() const { return lastOutcome_; }

    // The dialog's OK action does nothing; Cancel (Esc) runs the close procedure when idle and is
    // ignored while a job runs.
    void accept() override;
    void reject() override;

    // The controls, for the application shell and the tests.
    QRadioButton* btRadio() const { return btRadio_; }
    QRadioButton* usbRadio() const { return usbRadio_; }
    QRadioButton* wifiRadio() const { return wifiRadio_; }
    QGroupBox* commPortFrame() const { return commFrame_; }
    QLineEdit* pathBox() const { return pathBox_; }
    QPushButton* browseButton() const { return browse_; }
    QPushButton* updateButton() const { return update_; }
    QPushButton* readButton() const { return read_; }
    QPushButton* clearButton() const { return clear_; }
    QPlainTextEdit* outputBox() const { return output_; }
    QProgressBar* progressBar() const { return progress_; }
    SerialPortPanel* btPanel() const { return btPanel_; }
    SerialPortPanel* usbPanel() const { return usbPanel_; }
    WifiPanel* wifiPanel() const { return wifiPanel_; }
    QAction* aboutAction() const { return about_; }
    const DialogUnits& units() const { return units_; }

Q_SIGNALS:
    // The worker of a job has made its last call into the window, which is Idle again.
    void workerFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Asks whether to abandon the running update; true to close anyway.
    virtual bool confirmAbandon();
    // Shows the file-open dialog; the chosen file's full path, or nothing when cancelled.
    virtual std::optional<QString> askFirmwareFile();

private:
    enum class JobKind { Update, Read };

    // The argument a worker receives; a field of the window, so it outlives the worker.
    struct WorkerContext {
        int slot = -1;
        UpdaterWindow* window = nullptr;
    };

    void createPanels();
    void createControls();
    void initialise();
    void showPanel(QWidget* panel);
    std::optional<std::string> buildDescriptor() const;
    void startJob(JobKind kind, const std::string& path);
    void runWork(JobKind kind, int slot);
    // Runs on the window's thread: a report the worker waits for, and the worker's last step.
    Q_INVOKABLE void carryOut(void* action);
    Q_INVOKABLE void onWorkerFinished();
    void closeProcedure();
    void showAbout();
    void deliver(std::function<void()> action);

    UpdateJob& job_;
    PortLister lister_;
    DialogUnits units_;
    bool closing_ = false;
    // Written by the worker before it posts its last step, read on the window's thread after it.
    JobOutcome workerOutcome_;
    JobOutcome lastOutcome_;

    SerialPortPanel* btPanel_ = nullptr;
    SerialPortPanel* usbPanel_ = nullptr;
    WifiPanel* wifiPanel_ = nullptr;

    QGroupBox* typeFrame_ = nullptr;
    QRadioButton* btRadio_ = nullptr;
    QRadioButton* usbRadio_ = nullptr;
    QRadioButton* wifiRadio_ = nullptr;
    QGroupBox* commFrame_ = nullptr;
    QGroupBox* firmwareFrame_ = nullptr;
    QLabel* pathLabel_ = nullptr;
    QLineEdit* pathBox_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* update_ = nullptr;
    QGroupBox* outputFrame_ = nullptr;
    QPlainTextEdit* output_ = nullptr;
    QPushButton* clear_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* read_ = nullptr;
    QAction* about_ = nullptr;

    WorkerContext updateContext_;
    WorkerContext readContext_;
    std::unique_ptr<WorkerThread> updateWorker_;
    std::unique_ptr<WorkerThread> readWorker_;
};

}  // namespace korvane
