#include "ui/win/serial_panel_win.h"

#include "ui/model/panel_defaults.h"
#include "ui/win/layout_dialog.h"

namespace korvane {

namespace {

// A child dialog that the main window's keyboard navigation walks into.
constexpr DWORD kPanelStyle = DS_CONTROL | WS_CHILD | DS_3DLOOK;

std::wstring wideAscii(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string comboItem(HWND list, int index) {
    const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length < 0) {
        return std::string();
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    std::string narrow;
    for (const wchar_t c : text) {
        narrow.push_back(static_cast<char>(c < 0x80 ? c : '?'));
    }
    return narrow;
}

}  // namespace

bool SerialPanelWin::create(HINSTANCE instance, HWND parent) {
    const DialogTemplate t =
        layoutTemplate(ControlPlace::SerialPanel, kPanelStyle, WS_EX_CONTROLPARENT, L"");
    panel_ = CreateDialogIndirectParamW(instance, t.get(), parent, &SerialPanelWin::procedure,
                                        reinterpret_cast<LPARAM>(this));
    return panel_ != nullptr;
}

void SerialPanelWin::destroy() {
    if (panel_ != nullptr) {
        DestroyWindow(panel_);
        panel_ = nullptr;
    }
}

INT_PTR CALLBACK SerialPanelWin::procedure(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(panel, DWLP_USER, lParam);
        fitLayoutLabels(panel, ControlPlace::SerialPanel);
        return TRUE;
    }
    auto* self = reinterpret_cast<SerialPanelWin*>(GetWindowLongPtrW(panel, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    if (message == WM_COMMAND) {
        const int id = LOWORD(wParam);
        if (id == dialogId(WindowControl::Refresh) && HIWORD(wParam) == BN_CLICKED) {
            self->refreshPortList();
            return TRUE;
        }
        if (id == dialogId(WindowControl::Find) && HIWORD(wParam) == BN_CLICKED) {
            if (self->onFind_) {
                self->onFind_();
            }
            return TRUE;
        }
        // A panel never closes itself: its OK and Cancel do nothing.
        return id == IDOK || id == IDCANCEL;
    }
    return FALSE;
}

void SerialPanelWin::appendPorts(const std::vector<std::string>& ports) {
    for (const std::string& port : ports) {
        const std::wstring text = wideAscii(port);
        SendMessageW(portList(), CB_INSERTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void SerialPanelWin::fillPortList(const std::vector<std::string>& ports) {
    SendMessageW(portList(), CB_RESETCONTENT, 0, 0);
    appendPorts(ports);
    SendMessageW(portList(), CB_SETCURSEL, ports.empty() ? static_cast<WPARAM>(-1) : 0, 0);
}

void SerialPanelWin::fillBaudList() {
    SendMessageW(baudList(), CB_RESETCONTENT, 0, 0);
    for (const char* rate : kBaudRates) {
        const std::wstring text = wideAscii(rate);
        SendMessageW(baudList(), CB_INSERTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendMessageW(baudList(), CB_SETCURSEL, kDefaultBaudIndex, 0);
}

void SerialPanelWin::refreshPortList() {
    const int remembered = static_cast<int>(SendMessageW(portList(), CB_GETCURSEL, 0, 0));
    SendMessageW(portList(), CB_RESETCONTENT, 0, 0);
    appendPorts(lister_ ? lister_() : std::vector<std::string>{});
    const int count = static_cast<int>(SendMessageW(portList(), CB_GETCOUNT, 0, 0));
    SendMessageW(portList(), CB_SETCURSEL,
                 static_cast<WPARAM>(restoredPortIndex(remembered, count)), 0);
}

std::vector<std::string> SerialPanelWin::listedPorts() const {
    std::vector<std::string> ports;
    const int count = static_cast<int>(SendMessageW(portList(), CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        ports.push_back(comboItem(portList(), i));
    }
    return ports;
}

void SerialPanelWin::replacePortList(const std::vector<std::string>& ports) {
    const std::string selected = choice().port;
    SendMessageW(portList(), CB_RESETCONTENT, 0, 0);
    appendPorts(ports);
    SendMessageW(portList(), CB_SETCURSEL, static_cast<WPARAM>(keptPortIndex(selected, ports)), 0);
}

void SerialPanelWin::selectPortAndBaud(const std::string& port, const std::string& baud) {
    std::vector<std::string> ports = listedPorts();
    const std::size_t before = ports.size();
    const int portIndex = indexInList(ports, port);
    if (ports.size() != before) {
        appendPorts({port});
    }
    SendMessageW(portList(), CB_SETCURSEL, static_cast<WPARAM>(portIndex), 0);
    std::vector<std::string> rates(kBaudRates.begin(), kBaudRates.end());
    const std::size_t rateCount = rates.size();
    const int baudIndex = indexInList(rates, baud);
    if (rates.size() == rateCount) {
        SendMessageW(baudList(), CB_SETCURSEL, static_cast<WPARAM>(baudIndex), 0);
    }
}

SerialChoice SerialPanelWin::choice() const {
    SerialChoice choice;
    choice.portIndex = static_cast<int>(SendMessageW(portList(), CB_GETCURSEL, 0, 0));
    if (choice.portIndex >= 0) {
        choice.port = comboItem(portList(), choice.portIndex);
    }
    choice.baudIndex = static_cast<int>(SendMessageW(baudList(), CB_GETCURSEL, 0, 0));
    if (choice.baudIndex >= 0) {
        choice.baud = comboItem(baudList(), choice.baudIndex);
    }
    return choice;
}

void SerialPanelWin::setInputsEnabled(bool enabled) {
    setLayoutInputsEnabled(panel_, ControlPlace::SerialPanel, enabled);
}

}  // namespace korvane
