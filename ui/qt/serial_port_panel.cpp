#include "ui/qt/serial_port_panel.h"

#include <QComboBox>
#include <QPushButton>
#include <utility>

#include "ui/qt/dialog_units.h"

namespace korvane {

SerialPortPanel::SerialPortPanel(const DialogUnits& units, PortLister lister, QWidget* parent)
    : QWidget(parent), lister_(std::move(lister)) {
    setAutoFillBackground(true);
    resize(units.size(kPanelArea.width, kPanelArea.height));
    // Find is connected by the window, since it runs on the window's model.
    controls_.build(ControlPlace::SerialPanel, units, this);
    connect(refreshButton(), &QPushButton::clicked, this, [this] { refreshPortList(); });
}

void SerialPortPanel::appendPorts(const std::vector<std::string>& ports) {
    for (const std::string& port : ports) {
        portList()->addItem(QString::fromStdString(port));
    }
}

void SerialPortPanel::fillPortList(const std::vector<std::string>& ports) {
    portList()->clear();
    appendPorts(ports);
    portList()->setCurrentIndex(portList()->count() > 0 ? 0 : -1);
}

void SerialPortPanel::fillBaudList() {
    baudList()->clear();
    for (const char* rate : kBaudRates) {
        baudList()->addItem(QString::fromLatin1(rate));
    }
    baudList()->setCurrentIndex(kDefaultBaudIndex);
}

void SerialPortPanel::refreshPortList() {
    const int remembered = portList()->currentIndex();
    portList()->clear();
    appendPorts(lister_ ? lister_() : std::vector<std::string>{});
    portList()->setCurrentIndex(restoredPortIndex(remembered, portList()->count()));
}

void SerialPortPanel::replacePortList(const std::vector<std::string>& ports) {
    const std::string selected = selectedPortText().toStdString();
    portList()->clear();
    appendPorts(ports);
    portList()->setCurrentIndex(keptPortIndex(selected, ports));
}

void SerialPortPanel::selectPortAndBaud(const std::string& port, const std::string& baud) {
    std::vector<std::string> ports;
    for (int i = 0; i < portList()->count(); ++i) {
        ports.push_back(portList()->itemText(i).toStdString());
    }
    const int portIndex = indexInList(ports, port);
    if (portIndex == portList()->count()) {
        portList()->addItem(QString::fromStdString(port));
    }
    portList()->setCurrentIndex(portIndex);
    const int baudIndex = baudList()->findText(QString::fromStdString(baud));
    if (baudIndex >= 0) {
        baudList()->setCurrentIndex(baudIndex);
    }
}

int SerialPortPanel::selectedPortIndex() const {
    return portList()->currentIndex();
}

QString SerialPortPanel::selectedPortText() const {
    const int index = portList()->currentIndex();
    return index < 0 ? QString() : portList()->itemText(index);
}

int SerialPortPanel::selectedBaudIndex() const {
    return baudList()->currentIndex();
}

QString SerialPortPanel::selectedBaudText() const {
    const int index = baudList()->currentIndex();
    return index < 0 ? QString() : baudList()->itemText(index);
}

void SerialPortPanel::setInputsEnabled(bool enabled) {
    controls_.setInputsEnabled(enabled);
}

}  // namespace korvane
