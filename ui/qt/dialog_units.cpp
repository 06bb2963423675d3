#include "ui/qt/dialog_units.h"

#include <QFontMetrics>
#include <QLabel>
#include <QString>
#include <algorithm>

namespace korvane {

namespace {

// value * numerator / denominator, rounded to the nearest integer (halves away from zero).
int scaleRounded(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average width of the 52 Latin letters, rounded, as dialog layouts have always measured
    // a font's character width.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseWidth_ = std::max(1, (letters / 26 + 1) / 2);
    baseHeight_ = std::max(1, metrics.height());
}

int DialogUnits::x(int units) const {
    return scaleRounded(units, baseWidth_, 4);
}

int DialogUnits::y(int units) const {
    return scaleRounded(units, baseHeight_, 8);
}

QRect DialogUnits::rect(int left, int top, int width, int height) const {
    return QRect(x(left), y(top), x(width), y(height));
}

void placeStaticText(QLabel* label, const QRect& area) {
    QRect placed = area;
    placed.setWidth(std::max(area.width(), label->sizeHint().width()));
    label->setGeometry(placed);
}

}  // namespace korvane
