// The Win32 window driven by messages under a scripted job: the layout and defaults, device types,
// input bounds, the keys it takes, reports, About and the program's resources.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/update_file.h"
#include "platform/wide_text_win.h"
#include "ui/model/app_info.h"
#include "window_win_fixture.h"

namespace korvane::test {
namespace {

const std::vector<std::wstring> kBaudTexts = {
    L"9600",   L"19200",  L"38400",   L"57600",   L"115200",  L"230400", L"256000",
    L"460800", L"500000", L"1000000", L"2000000", L"4000000", L"8000000"};

std::vector<HWND> inputControls(UpdaterWindowWin& w) {
    return {w.control(WindowControl::Bt),     w.control(WindowControl::Usb),
            w.control(WindowControl::Wifi),   w.control(WindowControl::PathBox),
            w.control(WindowControl::Browse), w.control(WindowControl::Update),
            w.control(WindowControl::Read),   w.btPanel().portList(),
            w.btPanel().baudList(),           w.btPanel().refreshButton(),
            w.usbPanel().portList(),          w.usbPanel().baudList(),
            w.usbPanel().refreshButton(),     w.wifiPanel().addressBox(),
            w.wifiPanel().portBox()};
}

TEST_F(Win32WindowTest, StartsWithBtSelectedDefaultsFilledAndFocusOnUpdate) {
    openWindow();
    UpdaterWindowWin& w = *window;
    EXPECT_EQ(SendMessageW(control(WindowControl::Bt), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(control(WindowControl::Usb), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(IsWindowVisible(w.btPanel().handle()));
    EXPECT_FALSE(IsWindowVisible(w.usbPanel().handle()));
    EXPECT_FALSE(IsWindowVisible(w.wifiPanel().handle()));
    for (SerialPanelWin* panel : {&w.btPanel(), &w.usbPanel()}) {
        EXPECT_EQ(items(panel->portList()),
                  (std::vector<std::wstring>{L"COM3", L"COM10", L"COM1"}));
        EXPECT_EQ(selected(panel->portList()), 0);
        EXPECT_EQ(items(panel->baudList()), kBaudTexts);
        EXPECT_EQ(selected(panel->baudList()), 4);
    }
    EXPECT_EQ(windowText(w.wifiPanel().addressBox()), L"192.168.0.10");
    EXPECT_EQ(windowText(w.wifiPanel().portBox()), L"35000");
    EXPECT_EQ(GetFocus(), control(WindowControl::Update));
    EXPECT_TRUE(SendMessageW(control(WindowControl::Update), WM_GETDLGCODE, 0, 0) &
                DLGC_DEFPUSHBUTTON);

    // The visible panel covers the "Comm Port" frame exactly.
    RECT frame;
    RECT panel;
    GetWindowRect(control(WindowControl::PortFrame), &frame);
    GetWindowRect(w.btPanel().handle(), &panel);
    EXPECT_TRUE(EqualRect(&frame, &panel));

    // The About entry below a separator in the system menu, the update history beside it, and
    // both icons.
    HMENU menu = GetSystemMenu(w.handle(), FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 3);
    EXPECT_EQ(GetMenuItemID(menu, count - 2), kAboutCommand);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), kHistoryCommand);
    wchar_t entry[64] = {};
    GetMenuStringW(menu, kAboutCommand, entry, 64, MF_BYCOMMAND);
    EXPECT_STREQ(entry, L"&About KorvaneFwUpdater...");
    GetMenuStringW(menu, kHistoryCommand, entry, 64, MF_BYCOMMAND);
    EXPECT_STREQ(entry, L"Update &history\u2026");
    // It opens the read-only table with the command line's columns.
    SendMessageW(w.handle(), WM_SYSCOMMAND, kHistoryCommand, 0);
    ASSERT_NE(w.historyWindow().handle(), nullptr);
    const HWND header =
        reinterpret_cast<HWND>(SendMessageW(w.historyWindow().list(), LVM_GETHEADER, 0, 0));
    EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 7);
    EXPECT_NE(SendMessageW(w.handle(), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(w.handle(), WM_GETICON, ICON_SMALL, 0), 0);
}

// Every control of the layout's table stands where the table puts it, with its caption and its
// dialog identifier, and Tab visits the table's stops in order.
TEST_F(Win32WindowTest, DrawsTheLayoutsControls) {
    openWindow();
    UpdaterWindowWin& w = *window;
    EXPECT_EQ(utf8FromWide(windowText(w.handle())), kWindowCaption);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(w.handle(), GWL_STYLE));
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(GetWindowLongPtrW(w.handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    RECT size = {0, 0, kWindowArea.width, kWindowArea.height};
    MapDialogRect(w.handle(), &size);
    RECT client;
    GetClientRect(w.handle(), &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    auto surface = [&w](ControlPlace place) {
        return place == ControlPlace::Window        ? w.handle()
               : place == ControlPlace::SerialPanel ? w.btPanel().handle()
                                                    : w.wifiPanel().handle();
    };
    for (const ControlLayout& row : windowLayout()) {
        const HWND parent = surface(row.place);
        const HWND made = GetDlgItem(parent, dialogId(row.control));
        ASSERT_NE(made, nullptr) << row.caption;
        // Left, top, width and height each in dialog units, as the dialog manager maps them.
        RECT expected = {row.rect.x, row.rect.y, row.rect.width, row.rect.height};
        MapDialogRect(parent, &expected);
        RECT placed;
        GetWindowRect(made, &placed);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&placed), 2);
        EXPECT_EQ(placed.left, expected.left) << row.caption;
        EXPECT_EQ(placed.top, expected.top) << row.caption;
        // A label may be widened for the dialog's font; a drop-down list's height includes the
        // opened list.
        if (row.kind == ControlKind::Label) {
            EXPECT_GE(placed.right - placed.left, expected.right);
        } else {
            EXPECT_EQ(placed.right - placed.left, expected.right) << row.caption;
        }
        if (row.kind != ControlKind::DropDown && row.kind != ControlKind::Label) {
            EXPECT_EQ(placed.bottom - placed.top, expected.bottom) << row.caption;
        }
        if (*row.caption != '\0') {
            EXPECT_EQ(utf8FromWide(windowText(made)), row.caption);
        }
        // A checked automatic radio button takes a tab stop of its own.
        const auto controlStyle = static_cast<DWORD>(GetWindowLongPtrW(made, GWL_STYLE));
        if (row.kind != ControlKind::Radio) {
            EXPECT_EQ((controlStyle & WS_TABSTOP) != 0, row.tabStop) << row.caption;
        }
    }

    std::vector<HWND> expected;
    for (const WindowControl control : tabOrder(ControlPlace::SerialPanel)) {
        expected.push_back(GetDlgItem(surface(layoutOf(control).place), dialogId(control)));
    }
    std::rotate(expected.begin(),
                std::find(expected.begin(), expected.end(), control(WindowControl::PathBox)),
                expected.end());
    std::vector<HWND> visited{expected.front()};
    while (visited.size() < expected.size()) {
        visited.push_back(GetNextDlgTabItem(w.handle(), visited.back(), FALSE));
    }
    EXPECT_EQ(visited, expected);
}

TEST_F(Win32WindowTest, TheManifestBringsCommonControlsSix) {
    // Their version call answers 5.81 either way; the loaded module's path tells them apart.
    HMODULE controls = GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(controls, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(controls, path, MAX_PATH);
    std::wstring lower(path);
    std::transform(lower.begin(), lower.end(), lower.begin(), ::towlower);
    EXPECT_NE(lower.find(L"microsoft.windows.common-controls"), std::wstring::npos)
        << utf8FromWide(path);
    EXPECT_NE(lower.find(L"_6.0."), std::wstring::npos) << utf8FromWide(path);
}

TEST_F(Win32WindowTest, EachDeviceTypeShowsItsPanelAndBuildsItsDescriptor) {
    openWindow();
    struct Case {
        WindowControl radio;
        HWND visible;
        std::string descriptor;
    };
    SendMessageW(window->usbPanel().portList(), CB_SETCURSEL, 1, 0);
    SendMessageW(window->usbPanel().baudList(), CB_SETCURSEL, 0, 0);
    setText(window->wifiPanel().addressBox(), L"127.0.0.1");
    const Case cases[] = {
        {WindowControl::Usb, window->usbPanel().handle(), "com|COM10:9600"},
        {WindowControl::Wifi, window->wifiPanel().handle(), "tcp|127.0.0.1:35000"},
        {WindowControl::Bt, window->btPanel().handle(), "com|COM3:115200"},
    };
    for (const Case& c : cases) {
        click(c.radio);
        for (HWND panel : {window->btPanel().handle(), window->usbPanel().handle(),
                           window->wifiPanel().handle()}) {
            EXPECT_EQ(IsWindowVisible(panel) != FALSE, panel == c.visible) << c.descriptor;
        }
        click(WindowControl::Read);
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(job.lastDescriptor, c.descriptor);
        EXPECT_EQ(job.lastPath, "");
    }
    EXPECT_EQ(job.readCount, 3);

    // No port at all: Update and Read with a serial type start nothing.
    ports.clear();
    click(window->btPanel().refreshButton());
    EXPECT_EQ(selected(window->btPanel().portList()), -1);
    setText(control(WindowControl::PathBox), L"fw.hex");
    click(WindowControl::Read);
    click(WindowControl::Update);
    EXPECT_EQ(job.openCount, 3);
}

TEST_F(Win32WindowTest, TypedTextIsBoundedInBytesAndRefusedWhole) {
    openWindow();
    struct Case {
        HWND box;
        std::size_t limit;
    };
    const Case cases[] = {{control(WindowControl::PathBox), 1023},
                          {window->wifiPanel().addressBox(), 255},
                          {window->wifiPanel().portBox(), 255}};
    for (const Case& c : cases) {
        const std::wstring fits(c.limit, L'x');
        setText(c.box, fits);
        EXPECT_EQ(windowText(c.box), fits);
        setText(c.box, std::wstring(c.limit + 1, L'y'));  // one byte over: refused whole
        EXPECT_EQ(windowText(c.box), fits);
        // A two-byte character where one byte is left is refused too.
        const std::wstring oneLeft(c.limit - 1, L'z');
        setText(c.box, oneLeft);
        setText(c.box, oneLeft + L"\u00e9");
        EXPECT_EQ(windowText(c.box), oneLeft);
        setText(c.box, std::wstring(c.limit - 2, L'z') + L"\u00e9");
        EXPECT_EQ(utf8FromWide(windowText(c.box)).size(), c.limit);
    }
}

TEST_F(Win32WindowTest, ReportsReachTheControlsAndBusyDisablesOnlyTheInputs) {
    openWindow();
    Gate gate;
    job.updateWork = [&gate](FakeJob& j, int) {
        j.reportProgress(1);
        j.reportText("device version:");
        j.reportText("V2.2.3X\r\n");
        gate.wait();
        j.reportProgress(100);
    };
    setText(control(WindowControl::PathBox), L"fw.hex");
    click(WindowControl::Update);
    ASSERT_TRUE(window->isBusy());
    ASSERT_TRUE(pumpUntil([this] { return output().find(L"V2.2.3X") != std::wstring::npos; }));
    for (HWND input : inputControls(*window)) {
        EXPECT_FALSE(IsWindowEnabled(input));
    }
    for (WindowControl id :
         {WindowControl::Clear, WindowControl::Output, WindowControl::Progress}) {
        EXPECT_TRUE(IsWindowEnabled(control(id)));
    }
    click(WindowControl::Clear);
    EXPECT_EQ(output(), L"");
    gate.open();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(progress(), 100);
    for (HWND input : inputControls(*window)) {
        EXPECT_TRUE(IsWindowEnabled(input));
    }
    EXPECT_EQ(job.lastPath, "fw.hex");
    EXPECT_EQ(job.releaseCount, 1);

    // The box itself breaks lines at "\r\n"; each report piece continues the last line.
    setText(control(WindowControl::Output), L"");
    job.updateWork = [](FakeJob& j, int) {
        j.reportText("a");
        j.reportText("b\r\n");
    };
    click(WindowControl::Update);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(windowText(control(WindowControl::Output)), L"Port is opened!\r\nab\r\n");
    EXPECT_EQ(SendMessageW(control(WindowControl::Output), EM_GETLINECOUNT, 0, 0), 3);
}

// A reason line that names a path with non-ASCII letters shows them as they are.
TEST_F(Win32WindowTest, NonAsciiPathInAReasonShowsRight) {
    openWindow();
    job.updateWork = [](FakeJob& j, int) {
        j.reportText("  C:\\Users\\J\xC3\xBCrgen\\\xE2\x82\xAC.hex: no such file.\r\n");
    };
    setText(control(WindowControl::PathBox), L"C:\\Users\\J\u00FCrgen\\\u20AC.hex");
    click(WindowControl::Update);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(output(), L"Port is opened!\n  C:\\Users\\J\u00FCrgen\\\u20AC.hex: no such file.\n");
    EXPECT_EQ(job.lastPath, "C:\\Users\\J\xC3\xBCrgen\\\xE2\x82\xAC.hex");
}

TEST_F(Win32WindowTest, FailedOpenShowsTheJobsTextAndStaysIdle) {
    openWindow();
    job.openResult = -1;
    click(WindowControl::Read);
    EXPECT_FALSE(window->isBusy());
    EXPECT_EQ(output(), L"**Failed** Port connection error!\n");
    EXPECT_EQ(job.readCount, 0);
}

// The keys the window takes before the dialog manager: Return runs the focused button by the
// model's rule but is a line break in the output box; Esc from the output box is the window's
// Esc, not the close box, so it asks nothing while a job runs.
TEST_F(Win32WindowTest, ReturnAndEscReachTheModelFromEveryControl) {
    openWindow();
    int asked = 0;
    window->setConfirmer([&asked](HWND, const std::wstring&) {
        ++asked;
        return false;
    });
    setText(control(WindowControl::PathBox), L"fw.hex");
    pressEnterOn(control(WindowControl::Output));
    EXPECT_EQ(job.openCount, 0);
    pressEnterOn(window->btPanel().refreshButton());
    EXPECT_EQ(job.openCount, 0);
    pressEnterOn(control(WindowControl::PathBox));
    EXPECT_EQ(job.updateCount, 1);

    Gate gate;
    job.readWork = [&gate](FakeJob&, int) { gate.wait(); };
    click(WindowControl::Read);
    ASSERT_TRUE(window->isBusy());
    PostMessageW(control(WindowControl::Output), WM_KEYDOWN, VK_ESCAPE, 1);
    pumpPending();
    EXPECT_EQ(asked, 0);
    SendMessageW(window->handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(window->closed());
    gate.open();
    ASSERT_TRUE(waitIdle());
    SendMessageW(window->handle(), WM_COMMAND, IDOK, 0);  // never closes
    EXPECT_FALSE(window->closed());
    PostMessageW(control(WindowControl::PathBox), WM_KEYDOWN, VK_ESCAPE, 1);
    pumpPending();
    EXPECT_TRUE(window->closed());
    EXPECT_TRUE(job.stopRequested());
}

TEST_F(Win32WindowTest, AboutBoxOpensFromTheSystemMenuAndClosesWithOk) {
    openWindow();
    static std::wstring name;
    static bool closedWithOk = false;
    name.clear();
    closedWithOk = false;
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        HWND about = FindWindowW(nullptr, L"About KorvaneFwUpdater");
        if (about != nullptr) {
            name = windowText(GetDlgItem(about, kIdAboutName));
            closedWithOk = GetDlgItem(about, IDOK) != nullptr;
            PostMessageW(about, WM_COMMAND, IDOK, 0);
        }
    });
    // Runs the About box modally until the timer has closed it.
    SendMessageW(window->handle(), WM_SYSCOMMAND, kAboutCommand, 0);
    EXPECT_EQ(name, L"KorvaneFwUpdater v3.6");
    EXPECT_TRUE(closedWithOk);
    EXPECT_FALSE(window->closed());
}

TEST(Win32ResourcesTest, TheProgramCarriesItsVersionBlockAndIcon) {
    const std::wstring program = wideFromUtf8(KORVANE_UPDATER_EXE).value_or(L"");
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
    ASSERT_GT(size, 0u) << KORVANE_UPDATER_EXE;
    std::vector<std::uint8_t> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, block.data()));
    auto value = [&block](const wchar_t* name) {
        void* text = nullptr;
        UINT length = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
        if (!VerQueryValueW(block.data(), key.c_str(), &text, &length) || length == 0) {
            return std::wstring();
        }
        return std::wstring(static_cast<const wchar_t*>(text));
    };
    EXPECT_EQ(value(L"FileVersion"), L"1, 0, 0, 1");
    EXPECT_EQ(value(L"ProductVersion"), L"1, 0, 0, 1");
    EXPECT_EQ(value(L"InternalName"), L"KorvaneFwUpdater v3.6");
    EXPECT_EQ(value(L"ProductName"), L"KorvaneFwUpdater Application");
    EXPECT_EQ(value(L"OriginalFilename"), L"korvane-updater.exe");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(kIconResource), RT_GROUP_ICON), nullptr);
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);
    FreeLibrary(module);
}

TEST(Win32FileOpenTest, AnUpdateFileWithANonAsciiNameIsLoaded) {
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path = std::wstring(folder) + L"korvane-\u00e9\u65e5\u672c-" +
                              std::to_wstring(GetCurrentProcessId()) + L".hex";
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    const char content[] = "0123456789";
    fwrite(content, 1, 10, file);
    fclose(file);
    std::vector<std::uint8_t> loaded;
    EXPECT_EQ(loadWholeFile(utf8FromWide(path), loaded), 10);
    EXPECT_EQ(std::string(loaded.begin(), loaded.end()), "0123456789");
    // Bytes that are not UTF-8 name no file rather than another one.
    EXPECT_FALSE(loadWholeFile("C:\\\xe9t\xe9.hex", loaded).has_value());
    _wremove(path.c_str());
}

}  // namespace
}  // namespace korvane::test
