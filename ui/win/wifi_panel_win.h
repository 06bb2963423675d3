#pragma once

#include <functional>
#include <string>

#include "ui/win/bounded_edit.h"
#include "ui/win/control_ids.h"
#include "ui/win/win_api.h"

namespace korvane {

// The WIFI device type's settings as a borderless child dialog: the adapter's address and TCP
// port, taken as typed, each bounded in bytes.
class WifiPanelWin {
public:
    WifiPanelWin() = default;
    WifiPanelWin(const WifiPanelWin&) = delete;
    WifiPanelWin& operator=(const WifiPanelWin&) = delete;

    bool create(HINSTANCE instance, HWND parent);
    void destroy();

    void fillDefaults();
    // The boxes' texts in UTF-8.
    std::string address() const;
    std::string port() const;
    void setInputsEnabled(bool enabled);

    HWND handle() const { return panel_; }
    HWND control(WindowControl control) const { return GetDlgItem(panel_, dialogId(control)); }
    HWND addressBox() const { return control(WindowControl::AddressBox); }
    HWND portBox() const { return control(WindowControl::PortBox); }
    HWND findButton() const { return control(WindowControl::WifiFind); }
    // What the Find button below the port box runs (the window's Find).
    void setOnFind(std::function<void()> onFind) { onFind_ = std::move(onFind); }

private:
    static INT_PTR CALLBACK procedure(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);

    HWND panel_ = nullptr;
    std::function<void()> onFind_;
    BoundedEdit address_;
    BoundedEdit port_;
};

}  // namespace korvane
