#include "ui/model/window_layout.h"

#include <algorithm>
#include <array>

#include "ui/model/input_bounds.h"

namespace korvane {

namespace {

using C = WindowControl;
using K = ControlKind;
constexpr ControlPlace W = ControlPlace::Window;
constexpr ControlPlace S = ControlPlace::SerialPanel;
constexpr ControlPlace F = ControlPlace::WifiPanel;

// clang-format off
constexpr std::array kLayout = {
    //            control           place kind              caption        x    y    w    h   tab    input  bound
    ControlLayout{C::TypeFrame,     W, K::Frame,         "Device Type", {10,  10,  65,  65}, false, false, 0},
    ControlLayout{C::Bt,            W, K::Radio,         "BT",          {20,  25,  24,  10}, false, true,  0},
    ControlLayout{C::Usb,           W, K::Radio,         "USB",         {20,  40,  28,  10}, false, true,  0},
    ControlLayout{C::Wifi,          W, K::Radio,         "WIFI",        {20,  55,  32,  10}, false, true,  0},
    ControlLayout{C::PortFrame,     W, K::PanelFrame,    "Comm Port",   {85,  10,  115, 65}, false, false, 0},
    ControlLayout{C::FirmwareFrame, W, K::Frame,         "Firmware",    {10,  85,  190, 60}, false, false, 0},
    ControlLayout{C::PathLabel,     W, K::Label,         "Path:",       {20,  100, 21,  8},  false, false, 0},
    ControlLayout{C::PathBox,       W, K::LineEdit,      "",            {45,  100, 145, 14}, true,  true,  kMaxPathBytes},
    ControlLayout{C::Browse,        W, K::Button,        "Browse...",   {140, 120, 50,  14}, true,  true,  0},
    ControlLayout{C::Update,        W, K::DefaultButton, "Update",      {75,  155, 60,  30}, true,  true,  0},
    ControlLayout{C::OutputFrame,   W, K::Frame,         "Output:",     {210, 10,  240, 165}, false, false, 0},
    ControlLayout{C::Output,        W, K::OutputBox,     "",            {220, 25,  220, 120}, true,  false, 0},
    ControlLayout{C::Clear,         W, K::Button,        "Clear",       {390, 150, 50,  14}, true,  false, 0},
    ControlLayout{C::Progress,      W, K::ProgressBar,   "",            {210, 180, 240, 6},  false, false, 0},
    ControlLayout{C::Read,          W, K::Button,        "Read",        {220, 150, 50,  14}, true,  true,  0},

    ControlLayout{C::NameLabel,     S, K::Label,         "Name:",       {10,  10,  22,  8},  false, false, 0},
    ControlLayout{C::PortList,      S, K::DropDown,      "",            {35,  10,  70,  80}, true,  true,  0},
    ControlLayout{C::BaudLabel,     S, K::Label,         "Baudrate:",   {10,  25,  32,  8},  false, false, 0},
    ControlLayout{C::BaudList,      S, K::DropDown,      "",            {45,  25,  60,  80}, true,  true,  0},
    ControlLayout{C::Find,          S, K::Button,        "Find",        {10,  40,  40,  14}, true,  true,  0},
    ControlLayout{C::Refresh,       S, K::Button,        "Refresh",     {55,  40,  50,  14}, true,  true,  0},

    ControlLayout{C::AddressLabel,  F, K::Label,         "IP Address:", {10,  10,  37,  8},  false, false, 0},
    ControlLayout{C::AddressBox,    F, K::LineEdit,      "",            {10,  20,  95,  14}, true,  true,  kMaxFieldBytes},
    ControlLayout{C::PortLabel,     F, K::Label,         "IP Port:",    {10,  40,  24,  8},  false, false, 0},
    ControlLayout{C::PortBox,       F, K::LineEdit,      "",            {40,  40,  65,  14}, true,  true,  kMaxFieldBytes},
    ControlLayout{C::WifiFind,      F, K::Button,        "Find",        {55,  55,  50,  10}, true,  true,  0},
};
// clang-format on

constexpr bool rowsFollowTheEnum() {
    for (std::size_t i = 0; i < kLayout.size(); ++i) {
        if (static_cast<std::size_t>(kLayout[i].control) != i) {
            return false;
        }
    }
    return true;
}
static_assert(rowsFollowTheEnum(), "one row per control, in the order of WindowControl");

}  // namespace

std::span<const ControlLayout> windowLayout() {
    return kLayout;
}

const ControlLayout& layoutOf(WindowControl control) {
    return kLayout[static_cast<std::size_t>(control)];
}

std::vector<ControlLayout> controlsOf(ControlPlace place) {
    std::vector<ControlLayout> rows;
    std::copy_if(kLayout.begin(), kLayout.end(), std::back_inserter(rows),
                 [place](const ControlLayout& row) { return row.place == place; });
    return rows;
}

std::vector<WindowControl> tabOrder(ControlPlace shown) {
    std::vector<WindowControl> order;
    for (const ControlPlace place : {shown, ControlPlace::Window}) {
        for (const ControlLayout& row : kLayout) {
            if (row.place == place && row.tabStop) {
                order.push_back(row.control);
            }
        }
    }
    return order;
}

}  // namespace korvane
