#include "ui/win/layout_dialog.h"

#include <commctrl.h>

#include "ui/win/control_ids.h"
#include "ui/win/window_text.h"

namespace korvane {

namespace {

DWORD kindStyle(ControlKind kind) {
    switch (kind) {
        case ControlKind::Frame:
            return BS_GROUPBOX;
        case ControlKind::PanelFrame:
            // The visible panel lies over this frame; the frame never paints over it.
            return BS_GROUPBOX | WS_CLIPSIBLINGS;
        case ControlKind::Radio:
            return BS_AUTORADIOBUTTON;
        case ControlKind::Label:
            return SS_LEFT;
        case ControlKind::LineEdit:
            return ES_LEFT | ES_AUTOHSCROLL | WS_BORDER;
        case ControlKind::OutputBox:
            return ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN |
                   WS_VSCROLL | WS_HSCROLL | WS_BORDER;
        case ControlKind::Button:
            return BS_PUSHBUTTON;
        case ControlKind::DefaultButton:
            return BS_DEFPUSHBUTTON;
        case ControlKind::DropDown:
            return CBS_DROPDOWNLIST | WS_VSCROLL;
        case ControlKind::ProgressBar:
            return WS_BORDER;
    }
    return 0;
}

ControlClass kindClass(ControlKind kind) {
    switch (kind) {
        case ControlKind::Label:
            return ControlClass::Static;
        case ControlKind::LineEdit:
        case ControlKind::OutputBox:
            return ControlClass::Edit;
        case ControlKind::DropDown:
            return ControlClass::ComboBox;
        default:
            return ControlClass::Button;
    }
}

}  // namespace

DialogTemplate layoutTemplate(ControlPlace place, DWORD style, DWORD exStyle,
                              const std::wstring& caption) {
    const DialogRect area = place == ControlPlace::Window ? kWindowArea : kPanelArea;
    DialogTemplate t(style, exStyle, static_cast<short>(area.width),
                     static_cast<short>(area.height), caption.c_str());
    bool afterRadio = false;
    bool first = true;
    for (const ControlLayout& row : windowLayout()) {
        if (row.place != place) {
            continue;
        }
        DWORD controlStyle = kindStyle(row.kind);
        if (row.tabStop) {
            controlStyle |= WS_TABSTOP;
        }
        // A run of radio buttons is one group: its first starts it, the control after it ends it.
        const bool radio = row.kind == ControlKind::Radio;
        if (!first && radio != afterRadio) {
            controlStyle |= WS_GROUP;
        }
        afterRadio = radio;
        first = false;
        const std::wstring text(row.caption,
                                row.caption + std::char_traits<char>::length(row.caption));
        const DialogRect& r = row.rect;
        const auto x = static_cast<short>(r.x);
        const auto y = static_cast<short>(r.y);
        const auto w = static_cast<short>(r.width);
        const auto h = static_cast<short>(r.height);
        if (row.kind == ControlKind::ProgressBar) {
            t.add(PROGRESS_CLASSW, text.c_str(), dialogId(row.control), controlStyle, x, y, w, h);
        } else {
            t.add(kindClass(row.kind), text.c_str(), dialogId(row.control), controlStyle, x, y, w,
                  h);
        }
    }
    return t;
}

void fitLayoutLabels(HWND surface, ControlPlace place) {
    for (const ControlLayout& row : windowLayout()) {
        if (row.place == place && row.kind == ControlKind::Label) {
            fitStaticText(GetDlgItem(surface, dialogId(row.control)));
        }
    }
}

void setLayoutInputsEnabled(HWND surface, ControlPlace place, bool enabled) {
    for (const ControlLayout& row : windowLayout()) {
        if (row.place == place && row.input) {
            EnableWindow(GetDlgItem(surface, dialogId(row.control)), enabled);
        }
    }
}

}  // namespace korvane
