#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "ui/model/panel_defaults.h"
#include "ui/model/port_lister.h"

class QComboBox;
class QLabel;
class QPushButton;

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

    QComboBox* portList() const { return portList_; }
    QComboBox* baudList() const { return baudList_; }
    QPushButton* refreshButton() const { return refresh_; }
    QPushButton* findButton() const { return find_; }

private:
    void appendPorts(const std::vector<std::string>& ports);

    PortLister lister_;
    QLabel* nameLabel_;
    QComboBox* portList_;
    QLabel* baudLabel_;
    QComboBox* baudList_;
    QPushButton* refresh_;
    QPushButton* find_;
};

}  // namespace korvane
