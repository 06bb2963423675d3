#pragma once

#include <QIcon>
#include <QImage>

namespace korvane {

// Sizes in which the application icon is drawn and installed.
inline constexpr int kIconSizes[] = {16, 32};

// The application icon at `size` x `size` pixels: a diagnostic adapter's body with its plug, and
// an arrow bringing new firmware in.
QImage drawAppIcon(int size);
// The icon in every size of kIconSizes, for windows and the About box.
QIcon appIcon();

}  // namespace korvane
