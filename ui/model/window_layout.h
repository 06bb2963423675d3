#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace korvane {

// Every control of the main window and of its settings panels. A serial panel's controls stand
// once for both serial panels (BT and USB).
enum class WindowControl {
    // The main window.
    TypeFrame,
    Bt,
    Usb,
    Wifi,
    PortFrame,
    FirmwareFrame,
    PathLabel,
    PathBox,
    Browse,
    Update,
    OutputFrame,
    Output,
    Clear,
    Progress,
    Read,
    // A serial panel.
    NameLabel,
    PortList,
    BaudLabel,
    BaudList,
    Find,
    Refresh,
    // The WIFI panel.
    AddressLabel,
    AddressBox,
    PortLabel,
    PortBox,
    WifiFind,
};
inline constexpr std::size_t kControlCount = static_cast<std::size_t>(WindowControl::WifiFind) + 1;

// What a control is, whatever toolkit draws it.
enum class ControlKind {
    Frame,          // group box
    PanelFrame,     // group box where the visible settings panel lies
    Radio,          // automatic radio button; consecutive radios form one group
    Label,          // static text, left aligned
    LineEdit,       // single-line edit with border, scrolls horizontally
    OutputBox,      // multi-line edit with both scroll bars, no wrapping, accepts Return
    Button,         // push button
    DefaultButton,  // the window's default push button
    DropDown,       // drop-down list, selection only, unsorted; its height includes the open list
    ProgressBar,    // progress bar with border, 0 to 100
};

// The surface a control is drawn on.
enum class ControlPlace { Window, SerialPanel, WifiPanel };

// A rectangle in dialog units (a horizontal unit is a quarter of the font's average character
// width, a vertical unit an eighth of its height).
struct DialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const DialogRect&) const = default;
};

struct ControlLayout {
    WindowControl control;
    ControlPlace place;
    ControlKind kind;
    const char* caption;  // ASCII, shown byte for byte; "" for boxes, lists and the bar
    DialogRect rect;
    bool tabStop;          // reached with Tab, in the table's order
    bool input;            // disabled while a job runs
    std::size_t maxBytes;  // an edit's bound in UTF-8 bytes (0: none)
};

// The window's and the panels' client sizes, in dialog units.
inline constexpr DialogRect kWindowArea{0, 0, 462, 195};
inline constexpr DialogRect kPanelArea{0, 0, 115, 65};

// Every control, each surface's in creation order: the window's, a serial panel's, the WIFI
// panel's. Creation order is also keyboard order.
std::span<const ControlLayout> windowLayout();
const ControlLayout& layoutOf(WindowControl control);
// The controls of one surface, in creation order.
std::vector<ControlLayout> controlsOf(ControlPlace place);
// The controls Tab visits on the window while panel `shown` (SerialPanel or WifiPanel) is visible:
// the panel's (it lies first among the window's children), then the window's.
std::vector<WindowControl> tabOrder(ControlPlace shown);

}  // namespace korvane
