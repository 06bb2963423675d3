#include "ui/win/about_box_win.h"

#include <string>

#include "platform/wide_text_win.h"
#include "ui/model/app_info.h"
#include "ui/win/control_ids.h"
#include "ui/win/dialog_template.h"
#include "ui/win/window_text.h"

namespace korvane {

namespace {

constexpr DWORD kAboutStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER;
constexpr int kIconPixels = 32;

std::wstring wide(const char* text) {
    return wideFromUtf8(text).value_or(L"");
}

INT_PTR CALLBACK aboutProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto instance = reinterpret_cast<HINSTANCE>(lParam);
            auto* icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource),
                                                       IMAGE_ICON, kIconPixels, kIconPixels,
                                                       LR_DEFAULTCOLOR | LR_SHARED));
            SendDlgItemMessageW(box, kIdAboutIcon, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
            fitStaticText(GetDlgItem(box, kIdAboutName));
            fitStaticText(GetDlgItem(box, kIdAboutNotice));
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(box, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void runAboutBox(HINSTANCE instance, HWND owner) {
    const std::wstring caption = wide(kAboutCaption);
    const std::wstring name = wide(kWindowCaption);
    const std::wstring notice = wide(kAboutNotice);
    DialogTemplate t(kAboutStyle, 0, 235, 55, caption.c_str());
    t.add(ControlClass::Static, L"", kIdAboutIcon, SS_ICON, 11, 17, 20, 20);
    t.add(ControlClass::Static, name.c_str(), kIdAboutName, SS_LEFT | SS_NOPREFIX, 40, 10, 119, 8);
    t.add(ControlClass::Static, notice.c_str(), kIdAboutNotice, SS_LEFT, 40, 25, 119, 8);
    t.add(ControlClass::Button, L"OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 178, 7, 50,
          14);
    DialogBoxIndirectParamW(instance, t.get(), owner, &aboutProcedure,
                            reinterpret_cast<LPARAM>(instance));
}

}  // namespace korvane
