#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "ui/model/panel_defaults.h"
#include "ui/qt/control_set.h"

namespace korvane {

class DialogUnits;

// The adapter's address and TCP port for the WIFI device type, taken as typed.
class WifiPanel : public QWidget {
public:
    static constexpr const char* kDefaultAddress = kDefaultWifiAddress;
    static constexpr const char* kDefaultPort = kDefaultWifiPort;

    WifiPanel(const DialogUnits& units, QWidget* parent);

    void fillDefaults();
    QString addressText() const;
    QString portText() const;
    void setInputsEnabled(bool enabled);

    const ControlSet& controls() const { return controls_; }
    QLineEdit* addressBox() const { return controls_.as<QLineEdit>(WindowControl::AddressBox); }
    QLineEdit* portBox() const { return controls_.as<QLineEdit>(WindowControl::PortBox); }
    QPushButton* findButton() const { return controls_.as<QPushButton>(WindowControl::WifiFind); }

private:
    ControlSet controls_;
};

}  // namespace korvane
