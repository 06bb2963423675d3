#include "ui/win/window_text.h"

#include <optional>

#include "platform/wide_text_win.h"

namespace korvane {

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) {
        return std::wstring();
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

void fitStaticText(HWND label) {
    const std::wstring text = windowText(label);
    HDC dc = GetDC(label);
    if (dc == nullptr) {
        return;
    }
    auto* font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    HGDIOBJ old = font != nullptr ? SelectObject(dc, font) : nullptr;
    SIZE needed = {};
    const BOOL measured =
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &needed);
    if (old != nullptr) {
        SelectObject(dc, old);
    }
    ReleaseDC(label, dc);
    RECT area;
    GetWindowRect(label, &area);
    if (measured && needed.cx > area.right - area.left) {
        SetWindowPos(label, nullptr, 0, 0, needed.cx, area.bottom - area.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

std::wstring editTextFromUtf8(const std::string& text) {
    std::string lines;
    lines.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') {
            lines.push_back('\r');
        }
        lines.push_back(c);
    }
    if (std::optional<std::wstring> wide = wideFromUtf8(lines)) {
        return *wide;
    }
    // Not UTF-8 after all: one character per byte, so nothing is lost.
    std::wstring wide;
    wide.reserve(lines.size());
    for (const char c : lines) {
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    return wide;
}

std::wstring withoutCarriageReturns(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        if (c != L'\r') {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace korvane
