#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "channel/serial/serial_port_watch.h"
#include "engine/update_job.h"
#include "ui/model/port_lister.h"
#include "ui/model/window_model.h"
#include "ui/model/window_view.h"
#include "ui/qt/control_set.h"
#include "ui/qt/dialog_units.h"

class QAction;
class QFileDialog;
class QSocketNotifier;
class QTimer;

namespace korvane {

class HistoryDialog;
class SerialPortPanel;
class WifiPanel;

// Sets up the file-open dialog of Browse: one existing file, filter "Firmware File (*.*)".
void configureFirmwareDialog(QFileDialog& dialog);

// The program's main window on Qt: the controls of the window's layout, placed in dialog units,
// over the WindowModel that decides what they do. The user picks the device type and its port
// settings and a firmware file, and starts an update or a version read-out; the model opens the
// port through the UpdateJob on the window's thread, runs the job's work on a WorkerThread, and the
// window shows every report of the job in its output box and progress bar.
class UpdaterWindow : public QDialog, private WindowView {
    Q_OBJECT

public:
    UpdaterWindow(UpdateJob& job, PortLister lister, QWidget* parent = nullptr);
    ~UpdaterWindow() override;

    // Appends `text` (append set) or replaces the whole output with it, then scrolls to the last
    // line and repaints the box at once.
    void appendOutput(const QString& text, bool append);
    void setControlsEnabled(bool enabled) override;
    void onBrowse();
    void onUpdate();
    void onRead();

    // Busy while a job runs; the Update button is disabled then.
    bool isBusy() const { return model_.isBusy(); }
    const WindowModel& model() const { return model_; }
    // How the last job ended, as the job itself told it; valid once workerFinished was emitted.
    // The window shows only the job's own texts: it adds nothing of its own for an outcome.
    const JobOutcome& lastOutcome() const { return model_.lastOutcome(); }

    // The dialog's OK action does nothing; Cancel (Esc) runs the close procedure when idle and is
    // ignored while a job runs.
    void accept() override;
    void reject() override;

    // The controls, for the application shell and the tests.
    const ControlSet& controls() const { return controls_; }
    QRadioButton* btRadio() const { return controls_.as<QRadioButton>(WindowControl::Bt); }
    QRadioButton* usbRadio() const { return controls_.as<QRadioButton>(WindowControl::Usb); }
    QRadioButton* wifiRadio() const { return controls_.as<QRadioButton>(WindowControl::Wifi); }
    QGroupBox* commPortFrame() const { return controls_.as<QGroupBox>(WindowControl::PortFrame); }
    QLineEdit* pathBox() const { return controls_.as<QLineEdit>(WindowControl::PathBox); }
    QPushButton* browseButton() const { return controls_.as<QPushButton>(WindowControl::Browse); }
    QPushButton* updateButton() const { return controls_.as<QPushButton>(WindowControl::Update); }
    QPushButton* readButton() const { return controls_.as<QPushButton>(WindowControl::Read); }
    QPushButton* clearButton() const { return controls_.as<QPushButton>(WindowControl::Clear); }
    QPlainTextEdit* outputBox() const {
        return controls_.as<QPlainTextEdit>(WindowControl::Output);
    }
    QProgressBar* progressBar() const {
        return controls_.as<QProgressBar>(WindowControl::Progress);
    }
    SerialPortPanel* btPanel() const { return btPanel_; }
    SerialPortPanel* usbPanel() const { return usbPanel_; }
    WifiPanel* wifiPanel() const { return wifiPanel_; }
    QAction* aboutAction() const { return about_; }
    QAction* historyAction() const { return historyAction_; }
    // The history table once it was opened, else nullptr.
    HistoryDialog* historyDialog() const { return history_; }
    const DialogUnits& units() const { return units_; }

Q_SIGNALS:
    // The worker of a job has made its last call into the window, which is Idle again.
    void workerFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Enter runs the focused button; only the path box and Update start an Update.
    void keyPressEvent(QKeyEvent* event) override;
    // Asks `question` before a running job is abandoned; true to close anyway.
    virtual bool confirmAbandon(const std::string& question);
    // Shows the file-open dialog; the chosen file's full path, or nothing when cancelled.
    virtual std::optional<QString> askFirmwareFile();

private:
    // WindowView, for the model.
    DeviceType deviceType() const override;
    std::string pathText() const override;
    void setPathText(const std::string& path) override;
    SerialChoice serialChoice(DeviceType type) const override;
    std::string wifiAddress() const override;
    std::string wifiPort() const override;
    void appendOutput(const std::string& text, bool append) override;
    void setProgress(int percent) override;
    void showFoundAdapter(DeviceType type, const std::string& port,
                          const std::string& baud) override;
    void replacePortLists(const std::vector<std::string>& ports) override;
    bool isShown() const override;
    bool onWindowThread() const override;
    void carryOut(const std::function<void()>& action) override;
    void post(std::function<void()> action) override;
    void historyChanged() override;

    // On the window's thread: an action the worker waits for, and one it posted.
    Q_INVOKABLE void runCarried(void* action);
    Q_INVOKABLE void runPosted(void* action);

    void createPanels();
    void createControls();
    void initialise();
    void showPanel(QWidget* panel);
    // The port lists follow the hardware: a device change refreshes them a moment later, once
    // udev has given the new device its access rights.
    void watchSerialPorts();
    // Which control of the layout `widget` is, on the window or a panel.
    std::optional<WindowControl> controlOf(const QWidget* widget) const;
    void closeProcedure();
    void showAbout();
    void showHistory();

    WindowModel model_;
    DialogUnits units_;
    bool closing_ = false;

    SerialPortPanel* btPanel_ = nullptr;
    SerialPortPanel* usbPanel_ = nullptr;
    WifiPanel* wifiPanel_ = nullptr;
    std::unique_ptr<SerialPortWatch> portWatch_;
    QSocketNotifier* portNotifier_ = nullptr;
    QTimer* portRefresh_ = nullptr;

    ControlSet controls_;
    QAction* about_ = nullptr;
    QAction* historyAction_ = nullptr;
    HistoryDialog* history_ = nullptr;
};

}  // namespace korvane
