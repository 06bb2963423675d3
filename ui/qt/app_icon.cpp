#include "ui/qt/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace korvane {

namespace {

// The drawing is laid out on a 32 x 32 grid and scaled; small sizes are drawn without
// smoothing so their edges stay sharp.
constexpr double kGrid = 32.0;

const QColor kBodyColour(0x1f, 0x3a, 0x5f);
const QColor kBodyEdge(0x0b, 0x1a, 0x2e);
const QColor kPlugColour(0xc8, 0xcc, 0xd2);
const QColor kPinColour(0x4a, 0x4f, 0x57);
const QColor kArrowColour(0x3d, 0xd6, 0x5c);
const QColor kArrowEdge(0x10, 0x6b, 0x26);

void drawPlug(QPainter& painter) {
    // The trapezoid of the vehicle plug on top of the body, with its two rows of pins.
    const QPolygonF plug({QPointF(6, 2), QPointF(26, 2), QPointF(23, 10), QPointF(9, 10)});
    painter.setPen(QPen(kBodyEdge, 1.0));
    painter.setBrush(kPlugColour);
    painter.drawPolygon(plug);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPinColour);
    for (int pin = 0; pin < 4; ++pin) {
        painter.drawRect(QRectF(9.5 + pin * 3.5, 4, 2, 2));
        painter.drawRect(QRectF(11 + pin * 3, 7, 2, 2));
    }
}

void drawBody(QPainter& painter) {
    painter.setPen(QPen(kBodyEdge, 1.0));
    painter.setBrush(kBodyColour);
    painter.drawRoundedRect(QRectF(3, 9, 26, 21), 4, 4);
}

void drawArrow(QPainter& painter) {
    // A downward arrow: firmware going into the adapter.
    const QPolygonF arrow({QPointF(13, 12), QPointF(19, 12), QPointF(19, 19), QPointF(24, 19),
                           QPointF(16, 28), QPointF(8, 19), QPointF(13, 19)});
    painter.setPen(QPen(kArrowEdge, 1.0));
    painter.setBrush(kArrowColour);
    painter.drawPolygon(arrow);
}

}  // namespace

QImage drawAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, size >= 32);
    painter.scale(size / kGrid, size / kGrid);
    drawBody(painter);
    drawPlug(painter);
    drawArrow(painter);
    painter.end();
    return image;
}

QIcon appIcon() {
    QIcon icon;
    for (int size : kIconSizes) {
        icon.addPixmap(QPixmap::fromImage(drawAppIcon(size)));
    }
    return icon;
}

}  // namespace korvane
