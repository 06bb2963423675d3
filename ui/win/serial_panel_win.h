#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/model/port_lister.h"
#include "ui/model/window_view.h"
#include "ui/win/control_ids.h"
#include "ui/win/win_api.h"

namespace korvane {

// The settings of one serial device type (BT or USB) as a borderless child dialog: port list,
// baud list, Refresh, which lists the ports again, and Find beside it.
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
    // The ports changed by themselves: lists `ports`, keeping the selected port while it is
    // listed.
    void replacePortList(const std::vector<std::string>& ports);
    // Find's result: selects `port` (appended when the list lacks it) and `baud`.
    void selectPortAndBaud(const std::string& port, const std::string& baud);
    // What the Find button runs (the window's Find).
    void setOnFind(std::function<void()> onFind) { onFind_ = std::move(onFind); }
    SerialChoice choice() const;
    void setInputsEnabled(bool enabled);

    HWND handle() const { return panel_; }
    HWND control(WindowControl control) const { return GetDlgItem(panel_, dialogId(control)); }
    HWND portList() const { return control(WindowControl::PortList); }
    HWND baudList() const { return control(WindowControl::BaudList); }
    HWND refreshButton() const { return control(WindowControl::Refresh); }
    HWND findButton() const { return control(WindowControl::Find); }

private:
    static INT_PTR CALLBACK procedure(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
    void appendPorts(const std::vector<std::string>& ports);

    std::vector<std::string> listedPorts() const;

    PortLister lister_;
    std::function<void()> onFind_;
    HWND panel_ = nullptr;
};

}  // namespace korvane
