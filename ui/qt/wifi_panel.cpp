#include "ui/qt/wifi_panel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/qt/byte_length_validator.h"
#include "ui/qt/dialog_units.h"

namespace korvane {

WifiPanel::WifiPanel(const DialogUnits& units, QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    resize(units.size(115, 65));

    addressLabel_ = new QLabel(QStringLiteral("IP Address:"), this);
    placeStaticText(addressLabel_, units.rect(10, 10, 37, 8));
    addressBox_ = new QLineEdit(this);
    addressBox_->setGeometry(units.rect(10, 20, 95, 14));
    addressBox_->setValidator(new ByteLengthValidator(kMaxFieldLength, addressBox_));
    portLabel_ = new QLabel(QStringLiteral("IP Port:"), this);
    placeStaticText(portLabel_, units.rect(10, 40, 24, 8));
    portBox_ = new QLineEdit(this);
    portBox_->setGeometry(units.rect(40, 40, 65, 14));
    portBox_->setValidator(new ByteLengthValidator(kMaxFieldLength, portBox_));
    // Below the port box; the window connects it.
    find_ = new QPushButton(QStringLiteral("Find"), this);
    find_->setGeometry(units.rect(55, 55, 50, 10));
    find_->setAutoDefault(false);
}

void WifiPanel::fillDefaults() {
    addressBox_->setText(QString::fromLatin1(kDefaultAddress));
    portBox_->setText(QString::fromLatin1(kDefaultPort));
}

QString WifiPanel::addressText() const {
    return addressBox_->text();
}

QString WifiPanel::portText() const {
    return portBox_->text();
}

void WifiPanel::setInputsEnabled(bool enabled) {
    addressBox_->setEnabled(enabled);
    portBox_->setEnabled(enabled);
    find_->setEnabled(enabled);
}

}  // namespace korvane
