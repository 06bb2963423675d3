#pragma once

#include <string>
#include <vector>

#include "ui/model/window_view.h"
#include "ui/port_lister.h"
#include "ui/win/control_ids.h"
#include "ui/win/win_api.h"

namespace korvane {

// The settings of one serial device type (BT or USB) as a borderless child dialog: port list,
// baud list and Refresh, which lists the ports again.
class SerialPanelWin {
public:
    explicit SerialPanelWin(PortLister lister) : lister_(std::move(lister)) {}
    SerialPanelWin(const SerialPanelWin&) = delete;
    SerialPanelWin& operator=(const SerialPanelWin&) = delete;

    // Creates the panel hidden inside `parent`.
    bool create(HINSTANCE instance, HWND parent);
    void destroy();

    void fillPortList(const std::vector<std::string>& ports);
    void fillBaudList();
    // Lists the ports again and restores the selection by position.
    void refreshPortList();
    SerialChoice choice() const;
    void setInputsEnabled(bool enabled);

    HWND handle() const { return panel_; }
    HWND portList() const { return GetDlgItem(panel_, kIdPortList); }
    HWND baudList() const { return GetDlgItem(panel_, kIdBaudList); }
    HWND refreshButton() const { return GetDlgItem(panel_, kIdRefresh); }

private:
    static INT_PTR CALLBACK procedure(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
    void appendPorts(const std::vector<std::string>& ports);

    PortLister lister_;
    HWND panel_ = nullptr;
};

}  // namespace korvane
