#include "ui/win/updater_window_win.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dbt.h>

#include <memory>
#include <utility>
#include <vector>

#include "platform/wide_text_win.h"
#include "ui/model/app_info.h"
#include "ui/win/about_box_win.h"
#include "ui/win/layout_dialog.h"
#include "ui/win/window_text.h"

namespace korvane {

namespace {

// Messages the worker sends (a report it waits for) and posts (its last step) to the window.
constexpr UINT kCarryOutMessage = WM_APP + 1;
constexpr UINT kPostedMessage = WM_APP + 2;

constexpr int kProgressMaximum = 100;
// Room for a path longer than the job keeps, so that such a choice is told, not lost.
constexpr DWORD kChosenPathChars = 32768;

// A fixed-size top-level dialog with title bar, system menu and minimise box, in the task bar.
constexpr DWORD kWindowStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_CENTER | DS_3DLOOK;
constexpr DWORD kWindowExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

HICON loadAppIcon(HINSTANCE instance, int sizeMetricX, int sizeMetricY) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                         GetSystemMetrics(sizeMetricX),
                                         GetSystemMetrics(sizeMetricY), LR_DEFAULTCOLOR));
}

bool askYesNo(HWND owner, const std::wstring& question) {
    const std::wstring caption = wideFromUtf8(kWindowCaption).value_or(L"");
    return MessageBoxW(owner, question.c_str(), caption.c_str(),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

}  // namespace

UpdaterWindowWin::UpdaterWindowWin(UpdateJob& job, PortLister lister, HINSTANCE instance)
    : model_(job, std::move(lister), *this),
      instance_(instance),
      threadId_(GetCurrentThreadId()),
      btPanel_([this] { return model_.listPorts(); }),
      usbPanel_([this] { return model_.listPorts(); }),
      history_(model_),
      chooseFile_(&UpdaterWindowWin::askFirmwareFile),
      confirm_(&askYesNo) {}

UpdaterWindowWin::~UpdaterWindowWin() {
    // Torn down while a job still runs (not through the close procedure): ask the job to stop and
    // keep carrying out the worker's calls until it has handed the window back.
    if (isBusy()) {
        model_.requestStop();
        MSG message;
        while (isBusy() && GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    model_.stopAndJoin();
    btPanel_.destroy();
    usbPanel_.destroy();
    wifiPanel_.destroy();
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
    if (bigIcon_ != nullptr) {
        DestroyIcon(bigIcon_);
    }
    if (smallIcon_ != nullptr) {
        DestroyIcon(smallIcon_);
    }
}

bool UpdaterWindowWin::create() {
    const DialogTemplate t = layoutTemplate(ControlPlace::Window, kWindowStyle, kWindowExStyle,
                                            wideFromUtf8(kWindowCaption).value_or(L""));
    return CreateDialogIndirectParamW(instance_, t.get(), nullptr, &UpdaterWindowWin::procedure,
                                      reinterpret_cast<LPARAM>(this)) != nullptr;
}

void UpdaterWindowWin::show(int how) {
    ShowWindow(window_, how);
    UpdateWindow(window_);
}

void UpdaterWindowWin::run() {
    MSG message;
    while (!closed_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!handleMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

bool UpdaterWindowWin::handleMessage(MSG& message) {
    if (window_ == nullptr || closed_) {
        return false;
    }
    if (history_.handleMessage(message)) {
        return true;
    }
    const bool ours = message.hwnd == window_ || IsChild(window_, message.hwnd);
    if (ours && message.message == WM_KEYDOWN && message.wParam == VK_RETURN && takeEnter()) {
        return true;
    }
    // Esc is the window's Cancel from every control. Left to the output box, a multi-line edit,
    // it would become the close box's WM_CLOSE, which asks to abandon a running job.
    if (ours && message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE &&
        !dropDownOpen(GetFocus())) {
        onCommand(IDCANCEL, BN_CLICKED);
        return true;
    }
    return IsDialogMessageW(window_, &message) != FALSE;
}

bool UpdaterWindowWin::dropDownOpen(HWND focused) {
    wchar_t className[16] = {};
    GetClassNameW(focused, className, 16);
    return lstrcmpiW(className, WC_COMBOBOXW) == 0 &&
           SendMessageW(focused, CB_GETDROPPEDSTATE, 0, 0) == TRUE;
}

std::optional<WindowControl> UpdaterWindowWin::controlOf(HWND window) {
    return window != nullptr ? controlOfId(GetDlgCtrlID(window)) : std::nullopt;
}

bool UpdaterWindowWin::takeEnter() {
    HWND focused = GetFocus();
    // The output box takes Return as a line break, and an open drop-down list takes it as the
    // choice of an entry.
    if (focused == control(WindowControl::Output)) {
        return false;
    }
    if (dropDownOpen(focused)) {
        return false;
    }
    const std::optional<WindowControl> focusedControl = controlOf(focused);
    const std::optional<WindowControl> runs =
        focusedControl ? WindowModel::enterRuns(*focusedControl) : std::nullopt;
    if (runs) {
        HWND button = *runs == WindowControl::Update ? control(WindowControl::Update) : focused;
        SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    }
    return true;
}

INT_PTR CALLBACK UpdaterWindowWin::procedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<UpdaterWindowWin*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
        self->initialise();
        return FALSE;  // the focus is set
    }
    auto* self = reinterpret_cast<UpdaterWindowWin*>(GetWindowLongPtrW(window, DWLP_USER));
    return self != nullptr ? self->onMessage(message, wParam, lParam) : FALSE;
}

INT_PTR UpdaterWindowWin::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            onCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == kAboutCommand) {
                runAboutBox(instance_, window_);
                return TRUE;
            }
            if ((wParam & 0xFFF0) == kHistoryCommand) {
                showHistory();
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            onCloseBox();
            return TRUE;
        case WM_DEVICECHANGE:
            // The port lists follow the hardware: a port that came or went lists them again.
            if (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE ||
                wParam == DBT_DEVNODES_CHANGED) {
                model_.portsChanged();
            }
            return TRUE;
        case WM_QUERYDRAGICON:
            SetWindowLongPtrW(window_, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(smallIcon_));
            return TRUE;
        case kCarryOutMessage:
            (*reinterpret_cast<const std::function<void()>*>(lParam))();
            return TRUE;
        case kPostedMessage: {
            std::unique_ptr<std::function<void()>> action(
                reinterpret_cast<std::function<void()>*>(lParam));
            (*action)();
            return TRUE;
        }
        default:
            return FALSE;
    }
}

void UpdaterWindowWin::initialise() {
    btPanel_.create(instance_, window_);
    usbPanel_.create(instance_, window_);
    wifiPanel_.create(instance_, window_);
    for (SerialPanelWin* panel : {&btPanel_, &usbPanel_}) {
        panel->setOnFind([this] { model_.startFind(); });
    }
    wifiPanel_.setOnFind([this] { model_.startFind(); });

    // The About entry below a separator in the system menu.
    wchar_t entry[128] = {};
    HMENU menu = GetSystemMenu(window_, FALSE);
    if (menu != nullptr && LoadStringW(instance_, kAboutEntryString, entry, 128) > 0) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kAboutCommand, entry);
    }
    if (menu != nullptr) {
        const std::wstring history = wideFromUtf8(kHistoryEntry).value_or(L"Update &history...");
        AppendMenuW(menu, MF_STRING, kHistoryCommand, history.c_str());
    }
    if (!historyOffByEnvironment()) {
        model_.keepHistory(defaultHistoryFolder(), "win32");
    }

    bigIcon_ = loadAppIcon(instance_, SM_CXICON, SM_CYICON);
    smallIcon_ = loadAppIcon(instance_, SM_CXSMICON, SM_CYSMICON);
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    model_.attach();

    // The visible panel covers the "Comm Port" frame exactly.
    RECT place;
    GetWindowRect(control(WindowControl::PortFrame), &place);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
    for (HWND panel : {btPanel_.handle(), usbPanel_.handle(), wifiPanel_.handle()}) {
        SetWindowPos(panel, HWND_TOP, place.left, place.top, place.right - place.left,
                     place.bottom - place.top, SWP_NOREDRAW | SWP_NOACTIVATE);
    }

    const std::vector<std::string> ports = model_.listPorts();
    btPanel_.fillPortList(ports);
    usbPanel_.fillPortList(ports);
    btPanel_.fillBaudList();
    usbPanel_.fillBaudList();
    wifiPanel_.fillDefaults();

    fitLayoutLabels(window_, ControlPlace::Window);
    path_.attach(control(WindowControl::PathBox), layoutOf(WindowControl::PathBox).maxBytes);
    // The output box keeps everything until Clear.
    SendMessageW(control(WindowControl::Output), EM_SETLIMITTEXT, 0, 0);
    SendMessageW(control(WindowControl::Progress), PBM_SETRANGE32, 0, kProgressMaximum);

    SendMessageW(control(WindowControl::Bt), BM_CLICK, 0, 0);
    SetFocus(control(WindowControl::Update));
}

void UpdaterWindowWin::onCommand(int id, int code) {
    if (id == IDCANCEL) {
        // Esc, the dialog's Cancel.
        if (model_.decideClose(CloseRequest::Escape, nullptr) == CloseAction::Close) {
            closeProcedure();
        }
        return;
    }
    // IDOK among the others: the window never closes through it.
    const std::optional<WindowControl> from = controlOfId(id);
    if (!from) {
        return;
    }
    switch (*from) {
        case WindowControl::Bt:
        case WindowControl::Usb:
        case WindowControl::Wifi:
            if (code == BN_CLICKED) {
                showPanel(*from == WindowControl::Bt    ? btPanel_.handle()
                          : *from == WindowControl::Usb ? usbPanel_.handle()
                                                        : wifiPanel_.handle());
            }
            break;
        case WindowControl::PathBox:
            if (code == EN_CHANGE) {
                path_.onChange();
            }
            break;
        case WindowControl::Browse:
            onBrowse();
            break;
        case WindowControl::Update:
            model_.startUpdate();
            break;
        case WindowControl::Read:
            model_.startRead();
            break;
        case WindowControl::Clear:
            model_.clearOutput();
            break;
        default:
            break;
    }
}

void UpdaterWindowWin::showPanel(HWND panel) {
    for (HWND each : {btPanel_.handle(), usbPanel_.handle(), wifiPanel_.handle()}) {
        ShowWindow(each, each == panel ? SW_SHOW : SW_HIDE);
    }
}

std::optional<std::wstring> UpdaterWindowWin::askFirmwareFile(HWND owner) {
    std::vector<wchar_t> file(kChosenPathChars, L'\0');
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"Firmware File (*.*)\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kChosenPathChars;
    dialog.Flags =
        OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&dialog)) {
        return std::nullopt;
    }
    return std::wstring(file.data());
}

void UpdaterWindowWin::onBrowse() {
    const std::optional<std::wstring> chosen = chooseFile_ ? chooseFile_(window_) : std::nullopt;
    if (chosen) {
        model_.takeChosenFile(utf8FromWide(*chosen));
    }
}

void UpdaterWindowWin::onCloseBox() {
    const CloseAction action =
        model_.decideClose(CloseRequest::CloseBox, [this](const std::string& question) {
            return confirm_ && confirm_(window_, wideFromUtf8(question).value_or(L""));
        });
    if (action == CloseAction::EndProcess) {
        // The transfer is abandoned where it stands, nothing is cleaned up.
        ExitProcess(0);
    }
    if (action == CloseAction::Close) {
        closeProcedure();
    }
}

void UpdaterWindowWin::closeProcedure() {
    model_.stopAndJoin();
    btPanel_.destroy();
    usbPanel_.destroy();
    wifiPanel_.destroy();
    DestroyWindow(window_);
    window_ = nullptr;
    closed_ = true;
}

DeviceType UpdaterWindowWin::deviceType() const {
    if (IsDlgButtonChecked(window_, dialogId(WindowControl::Wifi)) == BST_CHECKED) {
        return DeviceType::Wifi;
    }
    return IsDlgButtonChecked(window_, dialogId(WindowControl::Usb)) == BST_CHECKED
               ? DeviceType::Usb
               : DeviceType::Bt;
}

std::string UpdaterWindowWin::pathText() const {
    return utf8FromWide(windowText(control(WindowControl::PathBox)));
}

void UpdaterWindowWin::setPathText(const std::string& path) {
    SetWindowTextW(control(WindowControl::PathBox), wideFromUtf8(path).value_or(L"").c_str());
}

void UpdaterWindowWin::showFoundAdapter(DeviceType type, const std::string& port,
                                        const std::string& baud) {
    const WindowControl radio = type == DeviceType::Wifi  ? WindowControl::Wifi
                                : type == DeviceType::Usb ? WindowControl::Usb
                                                          : WindowControl::Bt;
    CheckRadioButton(window_, dialogId(WindowControl::Bt), dialogId(WindowControl::Wifi),
                     dialogId(radio));
    showPanel(type == DeviceType::Wifi  ? wifiPanel_.handle()
              : type == DeviceType::Usb ? usbPanel_.handle()
                                        : btPanel_.handle());
    if (type != DeviceType::Wifi) {
        (type == DeviceType::Usb ? usbPanel_ : btPanel_).selectPortAndBaud(port, baud);
    }
}

void UpdaterWindowWin::replacePortLists(const std::vector<std::string>& ports) {
    for (SerialPanelWin* panel : {&btPanel_, &usbPanel_}) {
        if (panel->handle() != nullptr) {
            panel->replacePortList(ports);
        }
    }
}

SerialChoice UpdaterWindowWin::serialChoice(DeviceType type) const {
    return type == DeviceType::Usb ? usbPanel_.choice() : btPanel_.choice();
}

std::string UpdaterWindowWin::wifiAddress() const {
    return wifiPanel_.address();
}

std::string UpdaterWindowWin::wifiPort() const {
    return wifiPanel_.port();
}

void UpdaterWindowWin::setControlsEnabled(bool enabled) {
    if (!enabled) {
        focusBeforeBusy_ = GetFocus();
    }
    setLayoutInputsEnabled(window_, ControlPlace::Window, enabled);
    btPanel_.setInputsEnabled(enabled);
    usbPanel_.setInputsEnabled(enabled);
    wifiPanel_.setInputsEnabled(enabled);
    if (!enabled) {
        // A disabled control cannot keep the focus; the output box, never disabled, takes it.
        if (focusBeforeBusy_ != nullptr && !IsWindowEnabled(focusBeforeBusy_)) {
            SendMessageW(window_, WM_NEXTDLGCTL,
                         reinterpret_cast<WPARAM>(control(WindowControl::Output)), TRUE);
        }
    } else if (focusBeforeBusy_ != nullptr && IsWindow(focusBeforeBusy_) &&
               GetFocus() == control(WindowControl::Output)) {
        SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focusBeforeBusy_), TRUE);
        focusBeforeBusy_ = nullptr;
    }
}

void UpdaterWindowWin::appendOutput(const std::string& text, bool append) {
    HWND box = control(WindowControl::Output);
    const std::wstring shown = editTextFromUtf8(text);
    if (append) {
        const LRESULT length = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
        SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(length), length);
        SendMessageW(box, EM_SCROLLCARET, 0, 0);
        SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(shown.c_str()));
    } else {
        SetWindowTextW(box, shown.c_str());
    }
    const LRESULT lines = SendMessageW(box, EM_GETLINECOUNT, 0, 0);
    SendMessageW(box, EM_LINESCROLL, 0, lines);
    InvalidateRect(box, nullptr, TRUE);
    UpdateWindow(box);
}

void UpdaterWindowWin::setProgress(int percent) {
    SendMessageW(control(WindowControl::Progress), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

bool UpdaterWindowWin::isShown() const {
    return window_ != nullptr && IsWindowVisible(window_) != FALSE;
}

bool UpdaterWindowWin::onWindowThread() const {
    return GetCurrentThreadId() == threadId_;
}

void UpdaterWindowWin::carryOut(const std::function<void()>& action) {
    SendMessageW(window_, kCarryOutMessage, 0, reinterpret_cast<LPARAM>(&action));
}

void UpdaterWindowWin::historyChanged() {
    history_.refresh();
}

void UpdaterWindowWin::post(std::function<void()> action) {
    auto* boxed = new std::function<void()>(std::move(action));
    if (!PostMessageW(window_, kPostedMessage, 0, reinterpret_cast<LPARAM>(boxed))) {
        delete boxed;
    }
}

}  // namespace korvane
