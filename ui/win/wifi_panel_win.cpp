#include "ui/win/wifi_panel_win.h"

#include "platform/wide_text_win.h"
#include "ui/model/input_bounds.h"
#include "ui/model/panel_defaults.h"
#include "ui/win/dialog_template.h"
#include "ui/win/window_text.h"

namespace korvane {

namespace {

constexpr DWORD kPanelStyle = DS_CONTROL | WS_CHILD | DS_3DLOOK;
constexpr DWORD kBoxStyle = ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;

DialogTemplate wifiPanelTemplate() {
    DialogTemplate t(kPanelStyle, WS_EX_CONTROLPARENT, 115, 65, L"");
    t.add(ControlClass::Static, L"IP Address:", kIdAddressLabel, SS_LEFT, 10, 10, 37, 8);
    t.add(ControlClass::Edit, L"", kIdAddress, kBoxStyle, 10, 20, 95, 14);
    t.add(ControlClass::Static, L"IP Port:", kIdPortLabel, SS_LEFT, 10, 40, 24, 8);
    t.add(ControlClass::Edit, L"", kIdPortBox, kBoxStyle, 40, 40, 65, 14);
    t.add(ControlClass::Button, L"Find", kIdWifiFind, BS_PUSHBUTTON | WS_TABSTOP, 55, 55, 50, 10);
    return t;
}

}  // namespace

bool WifiPanelWin::create(HINSTANCE instance, HWND parent) {
    const DialogTemplate t = wifiPanelTemplate();
    panel_ = CreateDialogIndirectParamW(instance, t.get(), parent, &WifiPanelWin::procedure,
                                        reinterpret_cast<LPARAM>(this));
    if (panel_ == nullptr) {
        return false;
    }
    address_.attach(addressBox(), kMaxFieldBytes);
    port_.attach(portBox(), kMaxFieldBytes);
    return true;
}

void WifiPanelWin::destroy() {
    if (panel_ != nullptr) {
        DestroyWindow(panel_);
        panel_ = nullptr;
    }
}

INT_PTR CALLBACK WifiPanelWin::procedure(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(panel, DWLP_USER, lParam);
        fitStaticText(GetDlgItem(panel, kIdAddressLabel));
        fitStaticText(GetDlgItem(panel, kIdPortLabel));
        return TRUE;
    }
    auto* self = reinterpret_cast<WifiPanelWin*>(GetWindowLongPtrW(panel, DWLP_USER));
    if (self == nullptr || message != WM_COMMAND) {
        return FALSE;
    }
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) == EN_CHANGE) {
        if (id == kIdAddress) {
            self->address_.onChange();
        } else if (id == kIdPortBox) {
            self->port_.onChange();
        }
        return TRUE;
    }
    if (id == kIdWifiFind && HIWORD(wParam) == BN_CLICKED) {
        if (self->onFind_) {
            self->onFind_();
        }
        return TRUE;
    }
    // A panel never closes itself: its OK and Cancel do nothing.
    return id == IDOK || id == IDCANCEL;
}

void WifiPanelWin::fillDefaults() {
    SetWindowTextW(addressBox(), wideFromUtf8(kDefaultWifiAddress).value_or(L"").c_str());
    SetWindowTextW(portBox(), wideFromUtf8(kDefaultWifiPort).value_or(L"").c_str());
}

std::string WifiPanelWin::address() const {
    return utf8FromWide(windowText(addressBox()));
}

std::string WifiPanelWin::port() const {
    return utf8FromWide(windowText(portBox()));
}

void WifiPanelWin::setInputsEnabled(bool enabled) {
    EnableWindow(addressBox(), enabled);
    EnableWindow(portBox(), enabled);
    EnableWindow(findButton(), enabled);
}

}  // namespace korvane
