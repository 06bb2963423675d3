#include "ui/qt/wifi_panel.h"

#include <QLineEdit>
#include <QPushButton>

#include "ui/qt/dialog_units.h"

namespace korvane {

WifiPanel::WifiPanel(const DialogUnits& units, QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    resize(units.size(kPanelArea.width, kPanelArea.height));
    // Find is connected by the window.
    controls_.build(ControlPlace::WifiPanel, units, this);
}

void WifiPanel::fillDefaults() {
    addressBox()->setText(QString::fromLatin1(kDefaultAddress));
    portBox()->setText(QString::fromLatin1(kDefaultPort));
}

QString WifiPanel::addressText() const {
    return addressBox()->text();
}

QString WifiPanel::portText() const {
    return portBox()->text();
}

void WifiPanel::setInputsEnabled(bool enabled) {
    controls_.setInputsEnabled(enabled);
}

}  // namespace korvane
