#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class QLabel;

namespace korvane {

// Converts dialog units to pixels for one font: a horizontal unit is a quarter of the font's
// average character width, a vertical unit an eighth of its character height. Laying the window
// out in these units keeps its proportions whatever font the desktop uses.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseWidth, int baseHeight) : baseWidth_(baseWidth), baseHeight_(baseHeight) {}

    int x(int units) const;
    int y(int units) const;
    QSize size(int width, int height) const { return {x(width), y(height)}; }
    QRect rect(int left, int top, int width, int height) const;

    int baseWidth() const { return baseWidth_; }
    int baseHeight() const { return baseHeight_; }

private:
    int baseWidth_;
    int baseHeight_;
};

// Places a static text in `area`, widened to the right when the desktop's font needs more room
// than the layout gave it, so no label is cut.
void placeStaticText(QLabel* label, const QRect& area);

}  // namespace korvane
