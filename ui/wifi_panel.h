#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;

namespace korvane {

class DialogUnits;

// The adapter's address and TCP port for the WIFI device type, taken as typed.
class WifiPanel : public QWidget {
public:
    // Longest address or port text, in bytes, so the descriptor never cuts either field.
    static constexpr int kMaxFieldLength = 255;
    static constexpr const char* kDefaultAddress = "192.168.0.10";
    static constexpr const char* kDefaultPort = "35000";

    WifiPanel(const DialogUnits& units, QWidget* parent);

    void fillDefaults();
    QString addressText() const;
    QString portText() const;
    void setInputsEnabled(bool enabled);

    QLineEdit* addressBox() const { return addressBox_; }
    QLineEdit* portBox() const { return portBox_; }

private:
    QLabel* addressLabel_;
    QLineEdit* addressBox_;
    QLabel* portLabel_;
    QLineEdit* portBox_;
};

}  // namespace korvane
