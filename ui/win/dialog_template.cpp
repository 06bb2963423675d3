#include "ui/win/dialog_template.h"

namespace korvane {

namespace {

// The face DS_SHELLFONT asks for: the desktop's own dialog font.
constexpr const wchar_t* kShellFont = L"MS Shell Dlg";

}  // namespace

DialogTemplate::DialogTemplate(DWORD style, DWORD exStyle, short width, short height,
                               const wchar_t* caption, short pointSize) {
    put16(1);       // template version
    put16(0xFFFF);  // the extended form
    put32(0);       // help id
    put32(exStyle);
    put32(style | DS_SHELLFONT);
    countAt_ = words_.size();
    put16(0);  // control count, filled in as controls are added
    put16(0);  // x
    put16(0);  // y
    put16(static_cast<std::uint16_t>(width));
    put16(static_cast<std::uint16_t>(height));
    put16(0);  // no menu
    put16(0);  // the dialog manager's own window class
    putText(caption);
    put16(static_cast<std::uint16_t>(pointSize));
    put16(FW_NORMAL);
    put16(DEFAULT_CHARSET << 8);  // italic 0 (low byte), character set (high byte)
    putText(kShellFont);
}

void DialogTemplate::put32(std::uint32_t value) {
    put16(static_cast<std::uint16_t>(value & 0xFFFF));
    put16(static_cast<std::uint16_t>(value >> 16));
}

void DialogTemplate::putText(const wchar_t* text) {
    for (const wchar_t* at = text != nullptr ? text : L""; *at != L'\0'; ++at) {
        put16(static_cast<std::uint16_t>(*at));
    }
    put16(0);
}

void DialogTemplate::alignToDword() {
    if (words_.size() % 2 != 0) {
        put16(0);
    }
}

void DialogTemplate::addHeader(DWORD style, DWORD exStyle, short x, short y, short width,
                               short height, int id) {
    alignToDword();
    put32(0);  // help id
    put32(exStyle);
    put32(style | WS_CHILD | WS_VISIBLE);
    put16(static_cast<std::uint16_t>(x));
    put16(static_cast<std::uint16_t>(y));
    put16(static_cast<std::uint16_t>(width));
    put16(static_cast<std::uint16_t>(height));
    put32(static_cast<std::uint32_t>(id));
    ++count_;
    words_[countAt_] = static_cast<std::uint16_t>(count_);
}

void DialogTemplate::add(ControlClass kind, const wchar_t* text, int id, DWORD style, short x,
                         short y, short width, short height, DWORD exStyle) {
    addHeader(style, exStyle, x, y, width, height, id);
    put16(0xFFFF);
    put16(static_cast<std::uint16_t>(kind));
    putText(text);
    put16(0);  // no creation data
}

void DialogTemplate::add(const wchar_t* className, const wchar_t* text, int id, DWORD style,
                         short x, short y, short width, short height, DWORD exStyle) {
    addHeader(style, exStyle, x, y, width, height, id);
    putText(className);
    putText(text);
    put16(0);
}

}  // namespace korvane
