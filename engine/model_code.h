#pragma once

#include <cstdint>

namespace korvane {

// The engine's one-byte model code: 0..4 the family-2 models of the model-name table, 5 and 6 the
// family-1 models, 255 a model not recognised.
using ModelCode = std::uint8_t;

inline constexpr ModelCode kModelAzur03 = 0;
inline constexpr ModelCode kModelZnb5413 = 1;
inline constexpr ModelCode kModelZnb5411 = 2;
inline constexpr ModelCode kModelZnb5412 = 3;
inline constexpr ModelCode kModelAzur01 = 4;
inline constexpr ModelCode kModelZnb540 = 5;
inline constexpr ModelCode kModelZnb6730 = 6;
inline constexpr ModelCode kModelUnknown = 255;

}  // namespace korvane
