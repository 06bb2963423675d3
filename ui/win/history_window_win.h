#pragma once

#include "ui/win/win_api.h"

namespace korvane {

class WindowModel;

// The update history as a read-only report-style list view, newest first, with the same columns
// as the command line's table. A modeless dialog owned by the main window, so it can stay open
// while jobs run; the main window refreshes it when one of its runs ends.
class HistoryWindowWin {
public:
    explicit HistoryWindowWin(const WindowModel& model) : model_(model) {}
    ~HistoryWindowWin();
    HistoryWindowWin(const HistoryWindowWin&) = delete;
    HistoryWindowWin& operator=(const HistoryWindowWin&) = delete;

    // Shows the table over `owner`, created on first use, read afresh otherwise.
    void open(HINSTANCE instance, HWND owner);
    // Reads the history again when the table is open.
    void refresh();
    // The dialog manager's keyboard handling for the table's own messages; true when taken.
    bool handleMessage(MSG& message);

    HWND handle() const { return window_; }
    HWND list() const;

private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void fill();
    void layout();

    const WindowModel& model_;
    HWND window_ = nullptr;
};

}  // namespace korvane
