#pragma once

#include <string>

#include "ui/model/window_layout.h"
#include "ui/win/dialog_template.h"
#include "ui/win/win_api.h"

namespace korvane {

// One surface of the window's layout (the window or a settings panel) as a dialog template: its
// controls in the table's order, each with its dialog identifier (dialogId) and the styles of its
// kind; Tab stops and radio groups follow the table.
DialogTemplate layoutTemplate(ControlPlace place, DWORD style, DWORD exStyle,
                              const std::wstring& caption);
// Once the dialog exists: widens its labels where the dialog's font needs more room.
void fitLayoutLabels(HWND surface, ControlPlace place);
// Enables or disables the surface's input controls, in the table's order.
void setLayoutInputsEnabled(HWND surface, ControlPlace place, bool enabled);

}  // namespace korvane
