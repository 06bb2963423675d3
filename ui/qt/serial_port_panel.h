#pragma once

#include <QComboBox>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "ui/model/panel_defaults.h"
#include "ui/model/port_lister.h"
#include "ui/qt/control_set.h"

namespace korvane {

class DialogUnits;

// Settings of one serial device type (BT or USB): the port and the baud rate. Holds the user's
// choice; the only action of its own is Refresh, which lists the ports again.
class SerialPortPanel : public QWidget {
public:
    SerialPortPanel(const DialogUnits& units, PortLister lister, QWidget* parent);

    // Empties the port list and appends `ports` in order; selects the first when there is one.
    void fillPortList(const std::vector<std::string>& ports);
    // Empties the baud list, appends kBaudRates and selects "115200".
    void fillBaudList();
    // Lists the ports again and restores the selection by position: the same index when it still
    // exists, otherwise the first entry, nothing when no port is found.
    void refreshPortList();
    // The ports changed by themselves: lists `ports`, keeping the selected port while it is
    // listed.
    void replacePortList(const std::vector<std::string>& ports);
    // Find's result: selects `port` (appended when the list lacks it) and `baud`.
    void selectPortAndBaud(const std::string& port, const std::string& baud);

    // Negative when nothing is selected.
    int selectedPortIndex() const;
    QString selectedPortText() const;
    int selectedBaudIndex() const;
    QString selectedBaudText() const;

    void setInputsEnabled(bool enabled);

    const ControlSet& controls() const { return controls_; }
    QComboBox* portList() const { return controls_.as<QComboBox>(WindowControl::PortList); }
    QComboBox* baudList() const { return controls_.as<QComboBox>(WindowControl::BaudList); }
    QPushButton* refreshButton() const { return controls_.as<QPushButton>(WindowControl::Refresh); }
    QPushButton* findButton() const { return controls_.as<QPushButton>(WindowControl::Find); }

private:
    void appendPorts(const std::vector<std::string>& ports);

    PortLister lister_;
    ControlSet controls_;
};

}  // namespace korvane
