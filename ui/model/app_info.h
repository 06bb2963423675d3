#pragma once

#include <korvane/version.h>

namespace korvane {

// Names and texts the desktop program shows about itself.
inline constexpr const char* kAppName = "KorvaneFwUpdater";
inline constexpr const char* kVersionText = "v3.6";
inline constexpr const char* kWindowCaption = "KorvaneFwUpdater v3.6";
inline constexpr const char* kAboutCaption = "About KorvaneFwUpdater";
inline constexpr const char* kAboutEntry = "&About KorvaneFwUpdater...";
// The entry beside About that opens the update history (UTF-8).
inline constexpr const char* kHistoryEntry = "Update &history\u2026";
inline constexpr const char* kAboutNotice = "Copyright (C) 2026 Korvane team";
// Installed name of the executable, its icon and its desktop entry.
inline constexpr const char* kDesktopName = "korvane-updater";

}  // namespace korvane
