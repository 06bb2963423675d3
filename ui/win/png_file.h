#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

// A PNG file of `width` x `height` pixels from rows of red, green, blue (3 bytes a pixel, top row
// first). The image data is stored without compression: pictures for review, written without a
// compression library.
std::vector<std::uint8_t> pngFile(int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace korvane
