#pragma once

#include <optional>

#include "ui/model/window_layout.h"
#include "ui/win/win_api.h"

namespace korvane {

// The controls of the window's layout are numbered from here, in the layout's order.
inline constexpr int kFirstLayoutId = 1000;
constexpr int dialogId(WindowControl control) {
    return kFirstLayoutId + static_cast<int>(control);
}
// The layout's control with dialog identifier `id`, or nothing.
inline std::optional<WindowControl> controlOfId(int id) {
    if (id < kFirstLayoutId || id >= kFirstLayoutId + static_cast<int>(kControlCount)) {
        return std::nullopt;
    }
    return static_cast<WindowControl>(id - kFirstLayoutId);
}

// Identifiers of the other windows' controls.
enum ControlId : int {
    kIdAboutIcon = 1300,
    kIdAboutName,
    kIdAboutNotice,

    kIdHistoryList = 1400,
    kIdHistoryNote,
};

// The About entry's command in the window's system menu (its low four bits clear, as system
// commands need).
inline constexpr UINT kAboutCommand = 16;
// The update history's entry beside it.
inline constexpr UINT kHistoryCommand = 32;
// The application icon and the About entry's text among the program's resources.
inline constexpr int kIconResource = 128;
inline constexpr int kAboutEntryString = 101;

}  // namespace korvane
