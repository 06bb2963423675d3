#pragma once

namespace korvane {

// Failure texts that more than one flow reports.
inline constexpr const char* kModelMismatchText =
    "**Failed** The upgrade file does not match the device model!\r\n";
inline constexpr const char* kPowerOnText = "**Failed** Please power on the device again!\r\n";

}  // namespace korvane
