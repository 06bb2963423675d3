#pragma once

#include <QByteArray>
#include <QImage>
#include <vector>

namespace korvane {

// A Windows icon file (.ico) holding `images` as 32-bit images with alpha, in the given order.
QByteArray iconFile(const std::vector<QImage>& images);

}  // namespace korvane
