#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/win/win_api.h"

namespace korvane {

// The classes of the dialog manager's predefined controls, as a template names them.
enum class ControlClass : std::uint16_t {
    Button = 0x0080,
    Edit = 0x0081,
    Static = 0x0082,
    ComboBox = 0x0085,
};

// An in-memory dialog template (the extended form, which DS_SHELLFONT needs): the dialog's frame
// and caption followed by its controls, all placed in dialog units. Controls are created in the
// order they are added, which is also their keyboard order.
class DialogTemplate {
public:
    // `style` gets DS_SHELLFONT added; the font is the desktop's dialog font at `pointSize`.
    DialogTemplate(DWORD style, DWORD exStyle, short width, short height, const wchar_t* caption,
                   short pointSize = 8);

    void add(ControlClass kind, const wchar_t* text, int id, DWORD style, short x, short y,
             short width, short height, DWORD exStyle = 0);
    // A control of a registered window class given by name ("msctls_progress32").
    void add(const wchar_t* className, const wchar_t* text, int id, DWORD style, short x, short y,
             short width, short height, DWORD exStyle = 0);

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }
    int controlCount() const { return count_; }

private:
    void put16(std::uint16_t value) { words_.push_back(value); }
    void put32(std::uint32_t value);
    void putText(const wchar_t* text);
    void alignToDword();
    void addHeader(DWORD style, DWORD exStyle, short x, short y, short width, short height, int id);

    // Built in 16-bit words, the template's own unit; the buffer is DWORD-aligned as the dialog
    // manager requires because std::vector's storage is.
    std::vector<std::uint16_t> words_;
    std::size_t countAt_ = 0;
    int count_ = 0;
};

}  // namespace korvane
