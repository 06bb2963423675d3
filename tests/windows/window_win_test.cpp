// The Win32 window driven by messages under a scripted job: layout and defaults, device types,
// input bounds, the Enter, Esc and close rules, reports, Browse, About and the program's resources.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/update_file.h"
#include "platform/wide_text_win.h"
#include "window_win_fixture.h"

namespace korvane::test {
namespace {

const std::vector<std::wstring> kBaudTexts = {
    L"9600",   L"19200",  L"38400",   L"57600",   L"115200",  L"230400", L"256000",
    L"460800", L"500000", L"1000000", L"2000000", L"4000000", L"8000000"};

std::vector<HWND> inputControls(UpdaterWindowWin& w) {
    return {w.control(kIdBt),
            w.control(kIdUsb),
            w.control(kIdWifi),
            w.control(kIdPath),
            w.control(kIdBrowse),
            w.control(kIdUpdate),
            w.control(kIdRead),
            w.btPanel().portList(),
            w.btPanel().baudList(),
            w.btPanel().refreshButton(),
            w.usbPanel().portList(),
            w.usbPanel().baudList(),
            w.usbPanel().refreshButton(),
            w.wifiPanel().addressBox(),
            w.wifiPanel().portBox()};
}

TEST_F(Win32WindowTest, StartsWithBtSelectedDefaultsFilledAndFocusOnUpdate) {
    openWindow();
    UpdaterWindowWin& w = *window;
    EXPECT_EQ(windowText(w.handle()), L"KorvaneFwUpdater v3.6");
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(w.handle(), GWL_STYLE));
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(GetWindowLongPtrW(w.handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);

    // 462 x 195 dialog units of the dialog's own font.
    RECT expected = {0, 0, 462, 195};
    MapDialogRect(w.handle(), &expected);
    RECT client;
    GetClientRect(w.handle(), &client);
    EXPECT_EQ(client.right, expected.right);
    EXPECT_EQ(client.bottom, expected.bottom);

    EXPECT_EQ(IsDlgButtonChecked(w.handle(), kIdBt), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(w.handle(), kIdUsb), BST_UNCHECKED);
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
    EXPECT_EQ(GetFocus(), control(kIdUpdate));
    EXPECT_TRUE(SendMessageW(control(kIdUpdate), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);

    // The visible panel covers the "Comm Port" frame exactly.
    RECT frame;
    RECT panel;
    GetWindowRect(control(kIdPortFrame), &frame);
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
        int radio;
        HWND visible;
        std::string descriptor;
    };
    SendMessageW(window->usbPanel().portList(), CB_SETCURSEL, 1, 0);
    SendMessageW(window->usbPanel().baudList(), CB_SETCURSEL, 0, 0);
    setText(window->wifiPanel().addressBox(), L"127.0.0.1");
    const Case cases[] = {
        {kIdUsb, window->usbPanel().handle(), "com|COM10:9600"},
        {kIdWifi, window->wifiPanel().handle(), "tcp|127.0.0.1:35000"},
        {kIdBt, window->btPanel().handle(), "com|COM3:115200"},
    };
    for (const Case& c : cases) {
        click(c.radio);
        for (HWND panel : {window->btPanel().handle(), window->usbPanel().handle(),
                           window->wifiPanel().handle()}) {
            EXPECT_EQ(IsWindowVisible(panel) != FALSE, panel == c.visible) << c.descriptor;
        }
        click(kIdRead);
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(job.lastDescriptor, c.descriptor);
        EXPECT_EQ(job.lastPath, "");
    }
    EXPECT_EQ(job.readCount, 3);

    // No port at all: Update and Read with a serial type start nothing.
    ports.clear();
    click(window->btPanel().refreshButton());
    EXPECT_EQ(selected(window->btPanel().portList()), -1);
    setText(control(kIdPath), L"fw.hex");
    click(kIdRead);
    click(kIdUpdate);
    EXPECT_EQ(job.openCount, 3);
}

TEST_F(Win32WindowTest, TypedTextIsBoundedInBytesAndRefusedWhole) {
    openWindow();
    struct Case {
        HWND box;
        std::size_t limit;
    };
    const Case cases[] = {{control(kIdPath), 1023},
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
    setText(control(kIdPath), L"fw.hex");
    click(kIdUpdate);
    ASSERT_TRUE(window->isBusy());
    ASSERT_TRUE(pumpUntil([this] { return output().find(L"V2.2.3X") != std::wstring::npos; }));
    for (HWND input : inputControls(*window)) {
        EXPECT_FALSE(IsWindowEnabled(input));
    }
    for (int id : {kIdClear, kIdOutput, kIdProgress}) {
        EXPECT_TRUE(IsWindowEnabled(control(id)));
    }
    click(kIdClear);
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
    setText(control(kIdOutput), L"");
    job.updateWork = [](FakeJob& j, int) {
        j.reportText("a");
        j.reportText("b\r\n");
    };
    click(kIdUpdate);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(windowText(control(kIdOutput)), L"Port is opened!\r\nab\r\n");
    EXPECT_EQ(SendMessageW(control(kIdOutput), EM_GETLINECOUNT, 0, 0), 3);
}

// A reason line that names a path with non-ASCII letters shows them as they are.
TEST_F(Win32WindowTest, NonAsciiPathInAReasonShowsRight) {
    openWindow();
    job.updateWork = [](FakeJob& j, int) {
        j.reportText("  C:\\Users\\J\xC3\xBCrgen\\\xE2\x82\xAC.hex: no such file.\r\n");
    };
    setText(control(kIdPath), L"C:\\Users\\J\u00FCrgen\\\u20AC.hex");
    click(kIdUpdate);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(output(), L"Port is opened!\n  C:\\Users\\J\u00FCrgen\\\u20AC.hex: no such file.\n");
    EXPECT_EQ(job.lastPath, "C:\\Users\\J\xC3\xBCrgen\\\xE2\x82\xAC.hex");
}

TEST_F(Win32WindowTest, FailedOpenShowsTheJobsTextAndStaysIdle) {
    openWindow();
    job.openResult = -1;
    click(kIdRead);
    EXPECT_FALSE(window->isBusy());
    EXPECT_EQ(output(), L"**Failed** Port connection error!\n");
    EXPECT_EQ(job.readCount, 0);
}

// Return with a path filled in: a focused Read, Clear, Browse or Refresh runs itself and never
// flashes the adapter; the path box and Update start the Update; elsewhere Return does nothing.
TEST_F(Win32WindowTest, EnterRunsTheFocusedButtonAndStartsAnUpdateOnlyFromPathOrUpdate) {
    openWindow();
    int chosen = 0;
    window->setFileChooser([&chosen](HWND) {
        ++chosen;
        return std::optional<std::wstring>(L"C:\\chosen.hex");
    });
    setText(control(kIdPath), L"fw.hex");

    pressEnterOn(control(kIdRead));
    EXPECT_EQ(job.readCount, 1);
    EXPECT_EQ(job.updateCount, 0);
    EXPECT_NE(output(), L"");

    pressEnterOn(control(kIdClear));
    EXPECT_EQ(output(), L"");

    ports = {"COM9"};
    pressEnterOn(window->btPanel().refreshButton());
    EXPECT_EQ(items(window->btPanel().portList()), std::vector<std::wstring>{L"COM9"});

    pressEnterOn(control(kIdBrowse));
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(windowText(control(kIdPath)), L"C:\\chosen.hex");

    click(kIdWifi);
    pressEnterOn(window->wifiPanel().addressBox());
    pressEnterOn(control(kIdWifi));
    EXPECT_EQ(job.openCount, 1);

    // The output box takes Return as a line break.
    pressEnterOn(control(kIdOutput));
    EXPECT_EQ(job.openCount, 1);

    pressEnterOn(control(kIdPath));
    EXPECT_EQ(job.updateCount, 1);
    pressEnterOn(control(kIdUpdate));
    EXPECT_EQ(job.updateCount, 2);
    EXPECT_EQ(job.lastPath, "C:\\chosen.hex");
    EXPECT_EQ(job.readCount, 1);
}

TEST_F(Win32WindowTest, EscAndTheCloseBoxWhileBusyKeepTheJobAndEscClosesOnceIdle) {
    openWindow();
    int asked = 0;
    std::wstring question;
    window->setConfirmer([&](HWND, const std::wstring& text) {
        ++asked;
        question = text;
        return false;
    });
    Gate gate;
    job.readWork = [&gate](FakeJob& j, int) {
        gate.wait();
        j.reportText("still here\r\n");
    };
    click(kIdRead);
    ASSERT_TRUE(window->isBusy());
    PostMessageW(control(kIdOutput), WM_KEYDOWN, VK_ESCAPE, 1);
    pumpPending();
    SendMessageW(window->handle(), WM_COMMAND, IDCANCEL, 0);
    SendMessageW(window->handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(asked, 1);
    EXPECT_NE(question.find(L"versions are being read"), std::wstring::npos);
    EXPECT_FALSE(window->closed());
    EXPECT_TRUE(IsWindowVisible(window->handle()));
    EXPECT_FALSE(job.stopRequested());

    gate.open();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(output(), L"Port is opened!\nstill here\n");
    SendMessageW(window->handle(), WM_COMMAND, IDOK, 0);  // never closes
    EXPECT_FALSE(window->closed());
    HWND handle = window->handle();
    PostMessageW(control(kIdPath), WM_KEYDOWN, VK_ESCAPE, 1);
    pumpPending();
    EXPECT_TRUE(window->closed());
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_TRUE(job.stopRequested());
    EXPECT_EQ(job.releaseCount, 1);
}

TEST_F(Win32WindowTest, BrowseFillsThePathOnlyWithAPathThatFitsWhole) {
    openWindow();
    std::optional<std::wstring> answer;
    window->setFileChooser([&answer](HWND) { return answer; });
    setText(control(kIdPath), L"kept.hex");

    click(kIdBrowse);  // cancelled
    EXPECT_EQ(windowText(control(kIdPath)), L"kept.hex");

    answer = L"C:\\" + std::wstring(1021, L'a');  // 1024 bytes
    click(kIdBrowse);
    EXPECT_EQ(windowText(control(kIdPath)), L"kept.hex");
    EXPECT_EQ(output().rfind(L"The chosen file's path is longer than 1023 bytes", 0), 0u);

    answer = L"C:\\\u00e9t\u00e9\\" + std::wstring(1013, L'b');  // 1023 bytes, non-ASCII
    click(kIdBrowse);
    EXPECT_EQ(windowText(control(kIdPath)), *answer);
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
