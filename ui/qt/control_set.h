#pragma once

#include <QWidget>
#include <array>
#include <optional>

#include "ui/model/window_layout.h"

namespace korvane {

class DialogUnits;

// The Qt widgets of one surface of the window's layout (the window or a settings panel), built
// from the layout's table in its order, placed in dialog units. Creation order is Tab order; only
// the table's tab stops take the focus by Tab.
class ControlSet {
public:
    void build(ControlPlace place, const DialogUnits& units, QWidget* parent);

    // The control's widget; nullptr for a control of another surface.
    QWidget* widget(WindowControl control) const {
        return widgets_[static_cast<std::size_t>(control)];
    }
    template <class Widget>
    Widget* as(WindowControl control) const {
        return static_cast<Widget*>(widget(control));
    }
    // Which control `widget` is, or nothing when it is none of this surface's.
    std::optional<WindowControl> controlOf(const QWidget* widget) const;
    // Enables or disables the surface's input controls, in the table's order.
    void setInputsEnabled(bool enabled) const;

private:
    ControlPlace place_ = ControlPlace::Window;
    std::array<QWidget*, kControlCount> widgets_{};
};

}  // namespace korvane
