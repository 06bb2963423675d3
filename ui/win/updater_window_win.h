#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/update_job.h"
#include "ui/model/port_lister.h"
#include "ui/model/window_model.h"
#include "ui/model/window_view.h"
#include "ui/win/bounded_edit.h"
#include "ui/win/control_ids.h"
#include "ui/win/history_window_win.h"
#include "ui/win/serial_panel_win.h"
#include "ui/win/wifi_panel_win.h"
#include "ui/win/win_api.h"

namespace korvane {

// The program's main window on Win32: a dialog built from an in-memory template in dialog units,
// with the serial and WIFI panels as child dialogs, over the WindowModel that decides what the
// controls do. It runs its own message loop (run); tests drive it by window messages and pass
// their messages through handleMessage, as the loop does.
//
// Reports from the job's worker reach the window through SendMessage (the worker waits until the
// window's thread has shown them); the worker's last step is posted.
class UpdaterWindowWin : private WindowView {
public:
    // The file-open dialog of Browse: the chosen file's full path, or nothing when cancelled.
    using FileChooser = std::function<std::optional<std::wstring>(HWND owner)>;
    // The question before a running job is abandoned: true to close anyway.
    using Confirmer = std::function<bool(HWND owner, const std::wstring& question)>;

    UpdaterWindowWin(UpdateJob& job, PortLister lister, HINSTANCE instance);
    ~UpdaterWindowWin() override;
    UpdaterWindowWin(const UpdaterWindowWin&) = delete;
    UpdaterWindowWin& operator=(const UpdaterWindowWin&) = delete;

    // Creates and initialises the window, hidden; false when the platform refused.
    bool create();
    void show(int how = SW_SHOWNORMAL);
    // The message loop, until the close procedure has ended the window.
    void run();
    // One message of the thread's queue, before it is dispatched: Enter by the window's rule, then
    // the dialog manager's keyboard handling. True when the message was taken.
    bool handleMessage(MSG& message);

    bool isBusy() const { return model_.isBusy(); }
    bool closed() const { return closed_; }
    WindowModel& model() { return model_; }

    HWND handle() const { return window_; }
    HWND control(WindowControl control) const { return GetDlgItem(window_, dialogId(control)); }
    SerialPanelWin& btPanel() { return btPanel_; }
    SerialPanelWin& usbPanel() { return usbPanel_; }
    WifiPanelWin& wifiPanel() { return wifiPanel_; }
    HistoryWindowWin& historyWindow() { return history_; }
    // Opens the update history's table (the system menu's entry beside About).
    void showHistory() { history_.open(instance_, window_); }

    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    void setConfirmer(Confirmer confirmer) { confirm_ = std::move(confirmer); }

    // The platform's own file-open dialog: "Firmware File (*.*)", the file and its folder must
    // exist, the process's current folder is left alone.
    static std::optional<std::wstring> askFirmwareFile(HWND owner);

private:
    // WindowView, for the model.
    DeviceType deviceType() const override;
    std::string pathText() const override;
    void setPathText(const std::string& path) override;
    SerialChoice serialChoice(DeviceType type) const override;
    std::string wifiAddress() const override;
    std::string wifiPort() const override;
    void setControlsEnabled(bool enabled) override;
    void appendOutput(const std::string& text, bool append) override;
    void setProgress(int percent) override;
    void showFoundAdapter(DeviceType type, const std::string& port,
                          const std::string& baud) override;
    void replacePortLists(const std::vector<std::string>& ports) override;
    bool isShown() const override;
    bool onWindowThread() const override;
    void carryOut(const std::function<void()>& action) override;
    void post(std::function<void()> action) override;
    void historyChanged() override;

    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void initialise();
    void onCommand(int id, int code);
    void showPanel(HWND panel);
    // Which control of the layout `window` is, on the window or a panel.
    static std::optional<WindowControl> controlOf(HWND window);
    bool takeEnter();
    static bool dropDownOpen(HWND focused);
    void onBrowse();
    void onCloseBox();
    void closeProcedure();

    WindowModel model_;
    HINSTANCE instance_;
    DWORD threadId_;
    HWND window_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    SerialPanelWin btPanel_;
    SerialPanelWin usbPanel_;
    WifiPanelWin wifiPanel_;
    BoundedEdit path_;
    HistoryWindowWin history_;
    // The control that had the focus when the inputs were disabled, to have it back afterwards.
    HWND focusBeforeBusy_ = nullptr;
    bool closed_ = false;
    FileChooser chooseFile_;
    Confirmer confirm_;
};

}  // namespace korvane
