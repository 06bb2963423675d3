#include "ui/win/history_window_win.h"

// After the Windows headers it builds on.
#include <commctrl.h>

#include <string>

#include "history/history_table.h"
#include "platform/wide_text_win.h"
#include "ui/model/window_model.h"
#include "ui/win/control_ids.h"
#include "ui/win/dialog_template.h"

namespace korvane {

namespace {

constexpr DWORD kHistoryStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_CENTER | DS_MODALFRAME;
constexpr short kWidth = 460;
constexpr short kHeight = 200;
constexpr int kMargin = 7;
constexpr int kNoteHeight = 10;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;

std::wstring wide(const std::string& text) {
    return wideFromUtf8(text).value_or(std::wstring(text.begin(), text.end()));
}

}  // namespace

HistoryWindowWin::~HistoryWindowWin() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

HWND HistoryWindowWin::list() const {
    return GetDlgItem(window_, kIdHistoryList);
}

void HistoryWindowWin::open(HINSTANCE instance, HWND owner) {
    if (window_ == nullptr) {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        DialogTemplate t(kHistoryStyle, 0, kWidth, kHeight, L"Update history");
        t.add(WC_LISTVIEWW, L"", kIdHistoryList,
              LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP, kMargin,
              kMargin, kWidth - 2 * kMargin, kHeight - 3 * kMargin - kButtonHeight - kNoteHeight);
        t.add(ControlClass::Static, L"", kIdHistoryNote, SS_LEFT | SS_NOPREFIX, kMargin,
              kHeight - 2 * kMargin - kButtonHeight - kNoteHeight + 4, kWidth - 2 * kMargin,
              kNoteHeight);
        t.add(ControlClass::Button, L"Close", IDCANCEL, BS_DEFPUSHBUTTON | WS_TABSTOP,
              kWidth - kMargin - kButtonWidth, kHeight - kMargin - kButtonHeight, kButtonWidth,
              kButtonHeight);
        window_ = CreateDialogIndirectParamW(instance, t.get(), owner, &procedure,
                                             reinterpret_cast<LPARAM>(this));
        if (window_ == nullptr) {
            return;
        }
        ListView_SetExtendedListViewStyle(list(), LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        int column = 0;
        for (const std::string& heading : historyHeadings()) {
            std::wstring text = wide(heading);
            LVCOLUMNW entry{};
            entry.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            entry.pszText = text.data();
            entry.cx = 100;
            entry.iSubItem = column;
            SendMessageW(list(), LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&entry));
            ++column;
        }
    }
    fill();
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
}

void HistoryWindowWin::refresh() {
    if (window_ != nullptr && IsWindowVisible(window_)) {
        fill();
    }
}

bool HistoryWindowWin::handleMessage(MSG& message) {
    return window_ != nullptr && IsWindowVisible(window_) &&
           (message.hwnd == window_ || IsChild(window_, message.hwnd)) &&
           IsDialogMessageW(window_, &message) != FALSE;
}

void HistoryWindowWin::fill() {
    const HWND table = list();
    const HistoryReadout readout = model_.history();
    SendMessageW(table, WM_SETREDRAW, FALSE, 0);
    SendMessageW(table, LVM_DELETEALLITEMS, 0, 0);
    int row = 0;
    for (const HistoryRecord& record : readout.records) {
        const HistoryRow cells = historyRow(record);
        for (std::size_t column = 0; column < cells.size(); ++column) {
            std::wstring text = wide(cells[column]);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = row;
            item.iSubItem = static_cast<int>(column);
            item.pszText = text.data();
            SendMessageW(table, column == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW,
                         column == 0 ? 0 : row, reinterpret_cast<LPARAM>(&item));
        }
        ++row;
    }
    for (std::size_t column = 0; column < historyHeadings().size(); ++column) {
        SendMessageW(table, LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE_USEHEADER);
    }
    SendMessageW(table, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(table, nullptr, TRUE);

    std::string note;
    if (!model_.keepsHistory()) {
        note = "No history is kept (KORVANE_NO_HISTORY=1).";
    } else if (!readout.status.done()) {
        note = historyProblemText(readout.status);
    } else if (!readout.warnings.empty()) {
        note = "update history: " + readout.warnings.front();
    }
    SetDlgItemTextW(window_, kIdHistoryNote, wide(note).c_str());
}

void HistoryWindowWin::layout() {
    RECT client;
    GetClientRect(window_, &client);
    RECT units = {kMargin, kButtonHeight, kButtonWidth, kNoteHeight};
    MapDialogRect(window_, &units);
    const int margin = units.left;
    const int buttonHeight = units.top;
    const int buttonWidth = units.right;
    const int noteHeight = units.bottom;
    const int width = client.right - 2 * margin;
    const int listHeight = client.bottom - 3 * margin - buttonHeight - noteHeight;
    MoveWindow(list(), margin, margin, width, listHeight > 0 ? listHeight : 0, TRUE);
    MoveWindow(GetDlgItem(window_, kIdHistoryNote), margin, 2 * margin + listHeight, width,
               noteHeight, TRUE);
    MoveWindow(GetDlgItem(window_, IDCANCEL), client.right - margin - buttonWidth,
               client.bottom - margin - buttonHeight, buttonWidth, buttonHeight, TRUE);
}

INT_PTR CALLBACK HistoryWindowWin::procedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        return TRUE;
    }
    auto* self = reinterpret_cast<HistoryWindowWin*>(GetWindowLongPtrW(window, DWLP_USER));
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
                ShowWindow(window, SW_HIDE);  // kept, to open again at once
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY:
            if (self != nullptr) {
                self->window_ = nullptr;  // gone with its owner
            }
            return FALSE;
        case WM_SIZE:
            if (self != nullptr && self->window_ != nullptr) {
                self->layout();
            }
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace korvane
