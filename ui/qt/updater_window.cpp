#include "ui/qt/updater_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTextCursor>
#include <QThread>
#include <QTimer>
#include <cstdlib>
#include <utility>

#include "ui/model/app_info.h"
#include "ui/qt/about_box.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/history_dialog.h"
#include "ui/qt/serial_port_panel.h"
#include "ui/qt/thread_handoff.h"
#include "ui/qt/wifi_panel.h"

namespace korvane {

namespace {

constexpr int kProgressMaximum = 100;

// Window frame of a fixed-size dialog window: title bar with system menu, minimise and close
// boxes, no maximise box.
constexpr Qt::WindowFlags kWindowFlags = Qt::Window | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;

}  // namespace

UpdaterWindow::UpdaterWindow(UpdateJob& job, PortLister lister, QWidget* parent)
    : QDialog(parent, kWindowFlags), model_(job, std::move(lister), *this), units_(font()) {
    setWindowTitle(QString::fromLatin1(kWindowCaption));
    setFixedSize(units_.size(kWindowArea.width, kWindowArea.height));
    createPanels();
    createControls();
    initialise();
}

UpdaterWindow::~UpdaterWindow() {
    // The notifier watches the watch's descriptor, which goes with the members.
    delete portNotifier_;
    portNotifier_ = nullptr;
    // Torn down while a job still runs (not through the close procedure): ask the job to stop and
    // keep carrying out the worker's calls until it has handed the window back.
    if (isBusy()) {
        model_.requestStop();
        while (isBusy()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }
    model_.stopAndJoin();
}

void UpdaterWindow::createPanels() {
    const PortLister lister = [this] { return model_.listPorts(); };
    btPanel_ = new SerialPortPanel(units_, lister, this);
    btPanel_->hide();
    usbPanel_ = new SerialPortPanel(units_, lister, this);
    usbPanel_->hide();
    wifiPanel_ = new WifiPanel(units_, this);
    wifiPanel_->hide();
}

void UpdaterWindow::createControls() {
    // After the panels: they come first in Tab order, as on the desktop's dialogs.
    controls_.build(ControlPlace::Window, units_, this);
    connect(btRadio(), &QRadioButton::clicked, this, [this] { showPanel(btPanel_); });
    connect(usbRadio(), &QRadioButton::clicked, this, [this] { showPanel(usbPanel_); });
    connect(wifiRadio(), &QRadioButton::clicked, this, [this] { showPanel(wifiPanel_); });
    connect(browseButton(), &QPushButton::clicked, this, [this] { onBrowse(); });
    connect(updateButton(), &QPushButton::clicked, this, [this] { onUpdate(); });
    connect(readButton(), &QPushButton::clicked, this, [this] { onRead(); });
    connect(clearButton(), &QPushButton::clicked, this, [this] { model_.clearOutput(); });
    for (SerialPortPanel* panel : {btPanel_, usbPanel_}) {
        connect(panel->findButton(), &QPushButton::clicked, this, [this] { model_.startFind(); });
    }
    connect(wifiPanel_->findButton(), &QPushButton::clicked, this, [this] { model_.startFind(); });
    model_.setIdleListener([this] { Q_EMIT workerFinished(); });
}

void UpdaterWindow::initialise() {
    // The About entry: a window manager's own window menu cannot be extended from here, so the
    // entry sits in the window's context menu and on the help key.
    const QString aboutText = QString::fromLatin1(kAboutEntry);
    if (!aboutText.isEmpty()) {
        about_ = new QAction(aboutText, this);
        about_->setShortcut(QKeySequence(Qt::Key_F1));
        about_->setShortcutContext(Qt::WindowShortcut);
        connect(about_, &QAction::triggered, this, [this] { showAbout(); });
        addAction(about_);
        setContextMenuPolicy(Qt::ActionsContextMenu);
    }
    // Beside About: the update history, on Ctrl+H too.
    historyAction_ = new QAction(QString::fromUtf8(kHistoryEntry), this);
    historyAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    historyAction_->setShortcutContext(Qt::WindowShortcut);
    connect(historyAction_, &QAction::triggered, this, [this] { showHistory(); });
    addAction(historyAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    setWindowIcon(appIcon());

    if (!historyOffByEnvironment()) {
        model_.keepHistory(defaultHistoryFolder(), "qt");
    }
    model_.attach();

    // The visible panel covers the "Comm Port" frame exactly.
    const QRect place = commPortFrame()->geometry();
    for (QWidget* panel : {static_cast<QWidget*>(btPanel_), static_cast<QWidget*>(usbPanel_),
                           static_cast<QWidget*>(wifiPanel_)}) {
        panel->setGeometry(place);
        panel->raise();
    }

    const std::vector<std::string> ports = model_.listPorts();
    btPanel_->fillPortList(ports);
    usbPanel_->fillPortList(ports);
    btPanel_->fillBaudList();
    usbPanel_->fillBaudList();
    wifiPanel_->fillDefaults();

    btRadio()->click();
    updateButton()->setFocus();
    watchSerialPorts();
}

void UpdaterWindow::watchSerialPorts() {
    portWatch_ = std::make_unique<SerialPortWatch>();
    if (portWatch_->fd() < 0) {
        return;
    }
    constexpr int kSettleMs = 300;
    portRefresh_ = new QTimer(this);
    portRefresh_->setSingleShot(true);
    portRefresh_->setInterval(kSettleMs);
    connect(portRefresh_, &QTimer::timeout, this, [this] { model_.portsChanged(); });
    portNotifier_ = new QSocketNotifier(portWatch_->fd(), QSocketNotifier::Read, this);
    connect(portNotifier_, &QSocketNotifier::activated, this, [this] {
        if (portWatch_->takeChanges()) {
            portRefresh_->start();
        }
    });
}

void UpdaterWindow::showPanel(QWidget* panel) {
    for (QWidget* each : {static_cast<QWidget*>(btPanel_), static_cast<QWidget*>(usbPanel_),
                          static_cast<QWidget*>(wifiPanel_)}) {
        each->setVisible(each == panel);
    }
}

DeviceType UpdaterWindow::deviceType() const {
    if (wifiRadio()->isChecked()) {
        return DeviceType::Wifi;
    }
    return usbRadio()->isChecked() ? DeviceType::Usb : DeviceType::Bt;
}

std::string UpdaterWindow::pathText() const {
    return pathBox()->text().toStdString();
}

void UpdaterWindow::setPathText(const std::string& path) {
    pathBox()->setText(QString::fromStdString(path));
}

SerialChoice UpdaterWindow::serialChoice(DeviceType type) const {
    const SerialPortPanel* panel = type == DeviceType::Usb ? usbPanel_ : btPanel_;
    return {panel->selectedPortIndex(), panel->selectedPortText().toStdString(),
            panel->selectedBaudIndex(), panel->selectedBaudText().toStdString()};
}

std::string UpdaterWindow::wifiAddress() const {
    return wifiPanel_->addressText().toStdString();
}

std::string UpdaterWindow::wifiPort() const {
    return wifiPanel_->portText().toStdString();
}

void UpdaterWindow::appendOutput(const std::string& text, bool append) {
    appendOutput(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), append);
}

void UpdaterWindow::setProgress(int percent) {
    progressBar()->setRange(0, kProgressMaximum);
    progressBar()->setValue(percent);
}

void UpdaterWindow::showFoundAdapter(DeviceType type, const std::string& port,
                                     const std::string& baud) {
    QRadioButton* radio = type == DeviceType::Wifi  ? wifiRadio()
                          : type == DeviceType::Usb ? usbRadio()
                                                    : btRadio();
    radio->setChecked(true);
    showPanel(type == DeviceType::Wifi  ? static_cast<QWidget*>(wifiPanel_)
              : type == DeviceType::Usb ? static_cast<QWidget*>(usbPanel_)
                                        : static_cast<QWidget*>(btPanel_));
    if (type != DeviceType::Wifi) {
        (type == DeviceType::Usb ? usbPanel_ : btPanel_)->selectPortAndBaud(port, baud);
    }
}

void UpdaterWindow::replacePortLists(const std::vector<std::string>& ports) {
    for (SerialPortPanel* panel : {btPanel_, usbPanel_}) {
        if (panel != nullptr) {
            panel->replacePortList(ports);
        }
    }
}

bool UpdaterWindow::isShown() const {
    return isVisible();
}

bool UpdaterWindow::onWindowThread() const {
    return QThread::currentThread() == thread();
}

// Both go through the meta-object call by name with a plain pointer argument: a functor call
// object would be made on the worker and freed there after the window's thread ran it, a hand-over
// inside Qt that the thread sanitizer cannot see.
void UpdaterWindow::carryOut(const std::function<void()>& action) {
    void* carried = const_cast<std::function<void()>*>(&action);
    QMetaObject::invokeMethod(this, "runCarried", Qt::BlockingQueuedConnection,
                              Q_ARG(void*, carried));
}

void UpdaterWindow::post(std::function<void()> action) {
    void* posted = new std::function<void()>(std::move(action));
    handOver(posted);
    QMetaObject::invokeMethod(this, "runPosted", Qt::QueuedConnection, Q_ARG(void*, posted));
}

void UpdaterWindow::runCarried(void* action) {
    (*static_cast<std::function<void()>*>(action))();
}

void UpdaterWindow::runPosted(void* action) {
    takeOver(action);
    std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(action));
    (*owned)();
}

void UpdaterWindow::appendOutput(const QString& text, bool append) {
    // Reports end their lines with "\r\n"; the box breaks lines at the "\n" alone.
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    QPlainTextEdit* output = outputBox();
    if (append) {
        QTextCursor cursor = output->textCursor();
        cursor.movePosition(QTextCursor::End);
        output->setTextCursor(cursor);
        output->ensureCursorVisible();
        cursor.insertText(shown);
        output->setTextCursor(cursor);
    } else {
        output->setPlainText(shown);
    }
    QScrollBar* lines = output->verticalScrollBar();
    lines->setValue(lines->maximum());
    output->viewport()->repaint();
}

void UpdaterWindow::setControlsEnabled(bool enabled) {
    controls_.setInputsEnabled(enabled);
    for (SerialPortPanel* panel : {btPanel_, usbPanel_}) {
        if (panel != nullptr) {
            panel->setInputsEnabled(enabled);
        }
    }
    if (wifiPanel_ != nullptr) {
        wifiPanel_->setInputsEnabled(enabled);
    }
}

void configureFirmwareDialog(QFileDialog& dialog) {
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setNameFilter(QStringLiteral("Firmware File (*.*)"));
    // "*.*" names every file, also those whose name has no dot, as it does on the desktop where
    // the filter's name comes from.
    if (auto* model = dialog.findChild<QFileSystemModel*>()) {
        model->setNameFilters({});
    }
}

std::optional<QString> UpdaterWindow::askFirmwareFile() {
    QFileDialog dialog(this);
    configureFirmwareDialog(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

void UpdaterWindow::onBrowse() {
    const std::optional<QString> chosen = askFirmwareFile();
    if (chosen) {
        model_.takeChosenFile(chosen->toStdString());
    }
}

void UpdaterWindow::onUpdate() {
    model_.startUpdate();
}

void UpdaterWindow::onRead() {
    model_.startRead();
}

std::optional<WindowControl> UpdaterWindow::controlOf(const QWidget* widget) const {
    std::optional<WindowControl> control = controls_.controlOf(widget);
    for (const SerialPortPanel* panel : {btPanel_, usbPanel_}) {
        if (!control && panel != nullptr) {
            control = panel->controls().controlOf(widget);
        }
    }
    if (!control && wifiPanel_ != nullptr) {
        control = wifiPanel_->controls().controlOf(widget);
    }
    return control;
}

void UpdaterWindow::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter) {
        QDialog::keyPressEvent(event);
        return;
    }
    // Not the dialog's own rule, which would click the default button (Update) from anywhere.
    event->accept();
    QWidget* focused = focusWidget();
    const std::optional<WindowControl> control = controlOf(focused);
    const std::optional<WindowControl> runs =
        control ? WindowModel::enterRuns(*control) : std::nullopt;
    if (!runs) {
        return;
    }
    if (*runs == WindowControl::Update) {
        updateButton()->click();
    } else if (auto* button = qobject_cast<QPushButton*>(focused)) {
        button->click();
    }
}

void UpdaterWindow::accept() {}

void UpdaterWindow::reject() {
    // Esc: the dialog's Cancel.
    if (model_.decideClose(CloseRequest::Escape, nullptr) == CloseAction::Close) {
        closeProcedure();
    }
}

void UpdaterWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    event->ignore();
    switch (model_.decideClose(CloseRequest::CloseBox, [this](const std::string& question) {
        return confirmAbandon(question);
    })) {
        case CloseAction::Stay:
            return;
        case CloseAction::EndProcess:
            // The transfer is abandoned where it stands, nothing is cleaned up.
            std::_Exit(0);
        case CloseAction::Close:
            closeProcedure();
            event->accept();
            return;
    }
}

bool UpdaterWindow::confirmAbandon(const std::string& question) {
    const QMessageBox::StandardButton answer = QMessageBox::warning(
        this, QString::fromLatin1(kWindowCaption), QString::fromStdString(question),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return answer == QMessageBox::Yes;
}

void UpdaterWindow::closeProcedure() {
    model_.stopAndJoin();
    delete btPanel_;
    btPanel_ = nullptr;
    delete usbPanel_;
    usbPanel_ = nullptr;
    delete wifiPanel_;
    wifiPanel_ = nullptr;
    closing_ = true;
    done(QDialog::Rejected);
}

void UpdaterWindow::showAbout() {
    AboutBox box(this);
    box.exec();
}

void UpdaterWindow::showHistory() {
    if (history_ == nullptr) {
        history_ = new HistoryDialog(model_, this);
    } else {
        history_->refresh();
    }
    history_->show();
    history_->raise();
    history_->activateWindow();
}

void UpdaterWindow::historyChanged() {
    if (history_ != nullptr && history_->isVisible()) {
        history_->refresh();
    }
}

}  // namespace korvane
