#pragma once

#include <QString>
#include <QWidget>

#include "ui/model/input_bounds.h"
#include "ui/model/panel_defaults.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace korvane {

class DialogUnits;

// The adapter's address and TCP port for the WIFI device type, taken as typed.
class WifiPanel : public QWidget {
public:
    // Longest address or port text, in bytes, so the descriptor never cuts either field.
    static constexpr int kMaxFieldLength = static_cast<int>(kMaxFieldBytes);
    static constexpr const char* kDefaultAddress = kDefaultWifiAddress;
    static constexpr const char* kDefaultPort = kDefaultWifiPort;

    WifiPanel(const DialogUnits& units, QWidget* parent);

    void fillDefaults();
    QString addressText() const;
    QString portText() const;
    void setInputsEnabled(bool enabled);

    QLineEdit* addressBox() const { return addressBox_; }
    QLineEdit* portBox() const { return portBox_; }
    QPushButton* findButton() const { return find_; }

private:
    QLabel* addressLabel_;
    QLineEdit* addressBox_;
    QLabel* portLabel_;
    QLineEdit* portBox_;
    QPushButton* find_;
};

}  // namespace korvane
