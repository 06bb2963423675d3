#include "ui/qt/about_box.h"

#include <korvane/version.h>
#include <QLabel>
#include <QPushButton>

#include "ui/model/app_info.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/dialog_units.h"

namespace korvane {

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    const DialogUnits units(font());
    setWindowTitle(QString::fromLatin1(kAboutCaption));
    setFixedSize(units.size(235, 55));

    icon_ = new QLabel(this);
    icon_->setGeometry(units.rect(11, 17, 20, 20));
    icon_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    icon_->setPixmap(QPixmap::fromImage(drawAppIcon(32)));

    nameLine_ = new QLabel(QString::fromLatin1(kWindowCaption), this);
    nameLine_->setTextFormat(Qt::PlainText);
    placeStaticText(nameLine_, units.rect(40, 10, 119, 8));

    noticeLine_ = new QLabel(QString::fromLatin1(kAboutNotice), this);
    noticeLine_->setTextFormat(Qt::PlainText);
    placeStaticText(noticeLine_, units.rect(40, 25, 119, 8));

    // The build's own release number, the one korvane-fw --version shows.
    releaseLine_ =
        new QLabel(QStringLiteral("Release ") + QString::fromLatin1(kProgramVersion), this);
    releaseLine_->setTextFormat(Qt::PlainText);
    placeStaticText(releaseLine_, units.rect(40, 40, 119, 8));

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(units.rect(178, 7, 50, 14));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    ok_->setFocus();
}

}  // namespace korvane
