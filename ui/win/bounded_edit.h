#pragma once

#include <cstddef>
#include <string>

#include "ui/win/win_api.h"

namespace korvane {

// Keeps an edit control's text within a bound in UTF-8 bytes: a change that would pass it (typed,
// pasted or set) is taken back whole, never cut, and the last text that fitted returns with its
// caret.
class BoundedEdit {
public:
    void attach(HWND edit, std::size_t limit);
    // The control's EN_CHANGE notification.
    void onChange();
    HWND handle() const { return edit_; }

private:
    HWND edit_ = nullptr;
    std::size_t limit_ = 0;
    std::wstring kept_;
    DWORD keptCaret_ = 0;
    bool restoring_ = false;
};

}  // namespace korvane
