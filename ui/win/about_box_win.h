#pragma once

#include "ui/win/win_api.h"

namespace korvane {

// Runs the About box modally over `owner`: the icon, the program's name and version, the rights
// notice and OK. It closes with OK or Esc.
void runAboutBox(HINSTANCE instance, HWND owner);

}  // namespace korvane
