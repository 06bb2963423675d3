#pragma once

#include <string>

#include "ui/win/win_api.h"

namespace korvane {

// A window's whole text.
std::wstring windowText(HWND window);
// Widens a static text to the right when the dialog's font needs more room than the layout gave
// it, so no label is cut or wrapped.
void fitStaticText(HWND label);
// The window model's UTF-8 text as UTF-16, with every "\n" made "\r\n", the line end an edit
// control breaks at. A text that is not UTF-8 is taken one character per byte.
std::wstring editTextFromUtf8(const std::string& text);
// An edit control's text as the program shows it: "\r\n" back to "\n".
std::wstring withoutCarriageReturns(const std::wstring& text);

}  // namespace korvane
