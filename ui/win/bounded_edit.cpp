#include "ui/win/bounded_edit.h"

#include "platform/wide_text_win.h"
#include "ui/model/input_bounds.h"
#include "ui/win/window_text.h"

namespace korvane {

void BoundedEdit::attach(HWND edit, std::size_t limit) {
    edit_ = edit;
    limit_ = limit;
    kept_ = windowText(edit);
    keptCaret_ = static_cast<DWORD>(kept_.size());
}

void BoundedEdit::onChange() {
    if (restoring_ || edit_ == nullptr) {
        return;
    }
    const std::wstring text = windowText(edit_);
    if (fitsBound(utf8FromWide(text), limit_)) {
        kept_ = text;
        DWORD end = 0;
        SendMessageW(edit_, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&end));
        keptCaret_ = end;
        return;
    }
    restoring_ = true;
    SetWindowTextW(edit_, kept_.c_str());
    SendMessageW(edit_, EM_SETSEL, keptCaret_, keptCaret_);
    restoring_ = false;
}

}  // namespace korvane
