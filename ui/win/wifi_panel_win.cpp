#include "ui/win/wifi_panel_win.h"

#include "platform/wide_text_win.h"
#include "ui/model/panel_defaults.h"
#include "ui/win/layout_dialog.h"
#include "ui/win/window_text.h"

namespace korvane {

namespace {

constexpr DWORD kPanelStyle = DS_CONTROL | WS_CHILD | DS_3DLOOK;

}  // namespace

bool WifiPanelWin::create(HINSTANCE instance, HWND parent) {
    const DialogTemplate t =
        layoutTemplate(ControlPlace::WifiPanel, kPanelStyle, WS_EX_CONTROLPARENT, L"");
    panel_ = CreateDialogIndirectParamW(instance, t.get(), parent, &WifiPanelWin::procedure,
                                        reinterpret_cast<LPARAM>(this));
    if (panel_ == nullptr) {
        return false;
    }
    address_.attach(addressBox(), layoutOf(WindowControl::AddressBox).maxBytes);
    port_.attach(portBox(), layoutOf(WindowControl::PortBox).maxBytes);
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
        fitLayoutLabels(panel, ControlPlace::WifiPanel);
        return TRUE;
    }
    auto* self = reinterpret_cast<WifiPanelWin*>(GetWindowLongPtrW(panel, DWLP_USER));
    if (self == nullptr || message != WM_COMMAND) {
        return FALSE;
    }
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) == EN_CHANGE) {
        if (id == dialogId(WindowControl::AddressBox)) {
            self->address_.onChange();
        } else if (id == dialogId(WindowControl::PortBox)) {
            self->port_.onChange();
        }
        return TRUE;
    }
    if (id == dialogId(WindowControl::WifiFind) && HIWORD(wParam) == BN_CLICKED) {
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
    setLayoutInputsEnabled(panel_, ControlPlace::WifiPanel, enabled);
}

}  // namespace korvane
