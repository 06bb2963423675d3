#include "ui/qt/updater_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
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
#include "ui/qt/byte_length_validator.h"
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

QRadioButton* makeRadio(const char* text, const QRect& area, QWidget* parent) {
    auto* radio = new QRadioButton(QString::fromLatin1(text), parent);
    radio->setGeometry(area);
    radio->setFocusPolicy(Qt::ClickFocus);
    return radio;
}

QPushButton* makeButton(const char* text, const QRect& area, QWidget* parent) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setGeometry(area);
    button->setAutoDefault(false);
    return button;
}

QGroupBox* makeFrame(const char* title, const QRect& area, QWidget* parent) {
    auto* frame = new QGroupBox(QString::fromLatin1(title), parent);
    frame->setGeometry(area);
    frame->setFocusPolicy(Qt::NoFocus);
    return frame;
}

}  // namespace

UpdaterWindow::UpdaterWindow(UpdateJob& job, PortLister lister, QWidget* parent)
    : QDialog(parent, kWindowFlags), model_(job, std::move(lister), *this), units_(font()) {
    setWindowTitle(QString::fromLatin1(kWindowCaption));
    setFixedSize(units_.size(462, 195));
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
    typeFrame_ = makeFrame("Device Type", units_.rect(10, 10, 65, 65), this);
    btRadio_ = makeRadio("BT", units_.rect(20, 25, 24, 10), this);
    usbRadio_ = makeRadio("USB", units_.rect(20, 40, 28, 10), this);
    wifiRadio_ = makeRadio("WIFI", units_.rect(20, 55, 32, 10), this);
    commFrame_ = makeFrame("Comm Port", units_.rect(85, 10, 115, 65), this);
    firmwareFrame_ = makeFrame("Firmware", units_.rect(10, 85, 190, 60), this);

    pathLabel_ = new QLabel(QStringLiteral("Path:"), this);
    placeStaticText(pathLabel_, units_.rect(20, 100, 21, 8));
    pathBox_ = new QLineEdit(this);
    pathBox_->setGeometry(units_.rect(45, 100, 145, 14));
    pathBox_->setValidator(new ByteLengthValidator(kMaxPathLength, pathBox_));

    browse_ = makeButton("Browse...", units_.rect(140, 120, 50, 14), this);
    update_ = makeButton("Update", units_.rect(75, 155, 60, 30), this);
    update_->setDefault(true);

    outputFrame_ = makeFrame("Output:", units_.rect(210, 10, 240, 165), this);
    output_ = new QPlainTextEdit(this);
    output_->setGeometry(units_.rect(220, 25, 220, 120));
    output_->setLineWrapMode(QPlainTextEdit::NoWrap);
    output_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    output_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    output_->setTabChangesFocus(true);
    // The box keeps everything until Clear; an undo history would keep it twice.
    output_->setUndoRedoEnabled(false);

    clear_ = makeButton("Clear", units_.rect(390, 150, 50, 14), this);
    progress_ = new QProgressBar(this);
    progress_->setGeometry(units_.rect(210, 180, 240, 6));
    progress_->setRange(0, kProgressMaximum);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    read_ = makeButton("Read", units_.rect(220, 150, 50, 14), this);

    // Keyboard order: path box, Browse, Update, output box, Clear, Read.
    setTabOrder(pathBox_, browse_);
    setTabOrder(browse_, update_);
    setTabOrder(update_, output_);
    setTabOrder(output_, clear_);
    setTabOrder(clear_, read_);

    connect(btRadio_, &QRadioButton::clicked, this, [this] { showPanel(btPanel_); });
    connect(usbRadio_, &QRadioButton::clicked, this, [this] { showPanel(usbPanel_); });
    connect(wifiRadio_, &QRadioButton::clicked, this, [this] { showPanel(wifiPanel_); });
    connect(browse_, &QPushButton::clicked, this, [this] { onBrowse(); });
    connect(update_, &QPushButton::clicked, this, [this] { onUpdate(); });
    connect(read_, &QPushButton::clicked, this, [this] { onRead(); });
    connect(clear_, &QPushButton::clicked, this, [this] { model_.clearOutput(); });
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
    const QRect place = commFrame_->geometry();
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

    btRadio_->click();
    update_->setFocus();
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
    if (wifiRadio_->isChecked()) {
        return DeviceType::Wifi;
    }
    return usbRadio_->isChecked() ? DeviceType::Usb : DeviceType::Bt;
}

std::string UpdaterWindow::pathText() const {
    return pathBox_->text().toStdString();
}

void UpdaterWindow::setPathText(const std::string& path) {
    pathBox_->setText(QString::fromStdString(path));
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
    progress_->setRange(0, kProgressMaximum);
    progress_->setValue(percent);
}

void UpdaterWindow::showFoundAdapter(DeviceType type, const std::string& port,
                                     const std::string& baud) {
    QRadioButton* radio = type == DeviceType::Wifi  ? wifiRadio_
                          : type == DeviceType::Usb ? usbRadio_
                                                    : btRadio_;
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
    if (append) {
        QTextCursor cursor = output_->textCursor();
        cursor.movePosition(QTextCursor::End);
        output_->setTextCursor(cursor);
        output_->ensureCursorVisible();
        cursor.insertText(shown);
        output_->setTextCursor(cursor);
    } else {
        output_->setPlainText(shown);
    }
    QScrollBar* lines = output_->verticalScrollBar();
    lines->setValue(lines->maximum());
    output_->viewport()->repaint();
}

void UpdaterWindow::setControlsEnabled(bool enabled) {
    btRadio_->setEnabled(enabled);
    usbRadio_->setEnabled(enabled);
    wifiRadio_->setEnabled(enabled);
    pathBox_->setEnabled(enabled);
    browse_->setEnabled(enabled);
    update_->setEnabled(enabled);
    read_->setEnabled(enabled);
    if (btPanel_ != nullptr) {
        btPanel_->setInputsEnabled(enabled);
    }
    if (usbPanel_ != nullptr) {
        usbPanel_->setInputsEnabled(enabled);
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

WindowControl UpdaterWindow::controlOf(const QWidget* widget) const {
    if (widget == nullptr) {
        return WindowControl::Other;
    }
    if (widget == pathBox_) {
        return WindowControl::PathBox;
    }
    if (widget == update_) {
        return WindowControl::Update;
    }
    if (widget == read_) {
        return WindowControl::Read;
    }
    if (widget == clear_) {
        return WindowControl::Clear;
    }
    if (widget == browse_) {
        return WindowControl::Browse;
    }
    if (wifiPanel_ != nullptr && widget == wifiPanel_->findButton()) {
        return WindowControl::Find;
    }
    for (const SerialPortPanel* panel : {btPanel_, usbPanel_}) {
        if (panel != nullptr && widget == panel->refreshButton()) {
            return WindowControl::Refresh;
        }
        if (panel != nullptr && widget == panel->findButton()) {
            return WindowControl::Find;
        }
    }
    return WindowControl::Other;
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
    const std::optional<WindowControl> runs = WindowModel::enterRuns(controlOf(focused));
    if (!runs) {
        return;
    }
    if (*runs == WindowControl::Update) {
        update_->click();
    } else if (auto* button = qobject_cast<QPushButton*>(focused)) {
        button->click();
    }
}

void UpdaterWindow::accept() {}

void UpdaterWindow::reject() {
    // Esc while a job runs would abandon the transfer half way: it does nothing then.
    if (model_.escapeCloses()) {
        closeProcedure();
    }
}

void UpdaterWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    event->ignore();
    if (model_.closeNeedsConfirmation()) {
        if (!confirmAbandon()) {
            return;
        }
        if (isBusy()) {
            // Confirmed: the transfer is abandoned where it stands, nothing is cleaned up.
            std::_Exit(0);
        }
        // The job ended while the question was open: close as from Idle.
    }
    closeProcedure();
    event->accept();
}

bool UpdaterWindow::confirmAbandon() {
    const QMessageBox::StandardButton answer = QMessageBox::warning(
        this, QString::fromLatin1(kWindowCaption), QString::fromStdString(model_.closeQuestion()),
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
