#include "ui/qt/serial_port_panel.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <utility>

#include "ui/qt/dialog_units.h"

namespace korvane {

namespace {

// A drop-down list's closed height: what the style needs for one line of text, placed at the
// list's top like a dialog's combo box (whose given height includes the opened list).
void placeDropDown(QComboBox* list, const DialogUnits& units, int x, int y, int width) {
    const QRect area = units.rect(x, y, width, 0);
    list->setGeometry(area.x(), area.y(), area.width(), list->sizeHint().height());
}

}  // namespace

SerialPortPanel::SerialPortPanel(const DialogUnits& units, PortLister lister, QWidget* parent)
    : QWidget(parent), lister_(std::move(lister)) {
    setAutoFillBackground(true);
    resize(units.size(115, 65));

    nameLabel_ = new QLabel(QStringLiteral("Name:"), this);
    placeStaticText(nameLabel_, units.rect(10, 10, 22, 8));
    portList_ = new QComboBox(this);
    placeDropDown(portList_, units, 35, 10, 70);
    baudLabel_ = new QLabel(QStringLiteral("Baudrate:"), this);
    placeStaticText(baudLabel_, units.rect(10, 25, 32, 8));
    baudList_ = new QComboBox(this);
    placeDropDown(baudList_, units, 45, 25, 60);
    refresh_ = new QPushButton(QStringLiteral("Refresh"), this);
    refresh_->setGeometry(units.rect(55, 40, 50, 14));
    refresh_->setAutoDefault(false);

    // Beside Refresh; the window connects it, since Find runs on the window's model.
    find_ = new QPushButton(QStringLiteral("Find"), this);
    find_->setGeometry(units.rect(10, 40, 40, 14));
    find_->setAutoDefault(false);

    connect(refresh_, &QPushButton::clicked, this, [this] { refreshPortList(); });
}

void SerialPortPanel::appendPorts(const std::vector<std::string>& ports) {
    for (const std::string& port : ports) {
        portList_->addItem(QString::fromStdString(port));
    }
}

void SerialPortPanel::fillPortList(const std::vector<std::string>& ports) {
    portList_->clear();
    appendPorts(ports);
    portList_->setCurrentIndex(portList_->count() > 0 ? 0 : -1);
}

void SerialPortPanel::fillBaudList() {
    baudList_->clear();
    for (const char* rate : kBaudRates) {
        baudList_->addItem(QString::fromLatin1(rate));
    }
    baudList_->setCurrentIndex(kDefaultBaudIndex);
}

void SerialPortPanel::refreshPortList() {
    const int remembered = portList_->currentIndex();
    portList_->clear();
    appendPorts(lister_ ? lister_() : std::vector<std::string>{});
    portList_->setCurrentIndex(restoredPortIndex(remembered, portList_->count()));
}

void SerialPortPanel::replacePortList(const std::vector<std::string>& ports) {
    const std::string selected = selectedPortText().toStdString();
    portList_->clear();
    appendPorts(ports);
    portList_->setCurrentIndex(keptPortIndex(selected, ports));
}

void SerialPortPanel::selectPortAndBaud(const std::string& port, const std::string& baud) {
    std::vector<std::string> ports;
    for (int i = 0; i < portList_->count(); ++i) {
        ports.push_back(portList_->itemText(i).toStdString());
    }
    const int portIndex = indexInList(ports, port);
    if (portIndex == portList_->count()) {
        portList_->addItem(QString::fromStdString(port));
    }
    portList_->setCurrentIndex(portIndex);
    const int baudIndex = baudList_->findText(QString::fromStdString(baud));
    if (baudIndex >= 0) {
        baudList_->setCurrentIndex(baudIndex);
    }
}

int SerialPortPanel::selectedPortIndex() const {
    return portList_->currentIndex();
}

QString SerialPortPanel::selectedPortText() const {
    const int index = portList_->currentIndex();
    return index < 0 ? QString() : portList_->itemText(index);
}

int SerialPortPanel::selectedBaudIndex() const {
    return baudList_->currentIndex();
}

QString SerialPortPanel::selectedBaudText() const {
    const int index = baudList_->currentIndex();
    return index < 0 ? QString() : baudList_->itemText(index);
}

void SerialPortPanel::setInputsEnabled(bool enabled) {
    portList_->setEnabled(enabled);
    baudList_->setEnabled(enabled);
    refresh_->setEnabled(enabled);
    find_->setEnabled(enabled);
}

}  // namespace korvane
