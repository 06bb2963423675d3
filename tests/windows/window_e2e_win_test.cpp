// The Win32 window, the real job and the real channels updating the emulated adapter, which
// scripts/test-windows.sh runs on Linux and names in the environment:
//   KORVANE_E2E_TCP, KORVANE_E2E_TCP_FILE  the adapter's address:port and an update file for it
//   KORVANE_E2E_COM, KORVANE_E2E_COM_FILE  the COM port its pty is mapped to and a file for it
// The script then checks that the adapter holds each file's lines. Each file is used under a copy
// whose name holds characters of no single code page, as a user's folder may.
#include <string>

#include "engine/update_job.h"
#include "platform/wide_text_win.h"
#include "window_win_fixture.h"

namespace korvane::test {
namespace {

std::wstring environment(const wchar_t* name) {
    wchar_t value[4096] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 4096);
    return length > 0 && length < 4096 ? std::wstring(value, length) : std::wstring();
}

constexpr DWORD kUpdateBudgetMs = 180000;

// A copy of `file` in the same folder whose name is not ASCII; empty when it cannot be made.
std::wstring nonAsciiCopy(const std::wstring& file, const wchar_t* tag) {
    const std::size_t slash = file.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"" : file.substr(0, slash + 1);
    const std::wstring copy = folder + L"firmware-\u00e9\u65e5\u672c\u0416-" + tag + L".hex";
    return CopyFileW(file.c_str(), copy.c_str(), FALSE) ? copy : std::wstring();
}

class Win32WindowEndToEndTest : public Win32WindowTest {
protected:
    UpdateJob realJob;

    // Runs Update from the window and waits for the worker's last step.
    void update() {
        click(WindowControl::Update);
        ASSERT_TRUE(window->isBusy()) << utf8FromWide(output());
        ASSERT_TRUE(waitIdle(kUpdateBudgetMs));
    }
    void expectFinished() {
        EXPECT_TRUE(window->model().lastOutcome().finished())
            << window->model().lastOutcome().failureText;
        const std::wstring shown = output();
        EXPECT_EQ(shown.find(L"**Failed**"), std::wstring::npos) << utf8FromWide(shown);
        const std::wstring last = L"File download finished!\n";
        ASSERT_GE(shown.size(), last.size());
        EXPECT_EQ(shown.substr(shown.size() - last.size()), last) << utf8FromWide(shown);
        EXPECT_EQ(progress(), 100);
    }
};

TEST_F(Win32WindowEndToEndTest, UpdateOverTcpFromTheWifiPanelThenRead) {
    const std::wstring address = environment(L"KORVANE_E2E_TCP");
    const std::wstring file = nonAsciiCopy(environment(L"KORVANE_E2E_TCP_FILE"), L"tcp");
    ASSERT_FALSE(address.empty() || file.empty()) << "run by scripts/test-windows.sh";
    const std::size_t colon = address.rfind(L':');
    ASSERT_NE(colon, std::wstring::npos);

    openWindow(realJob);
    click(WindowControl::Wifi);
    setText(window->wifiPanel().addressBox(), address.substr(0, colon));
    setText(window->wifiPanel().portBox(), address.substr(colon + 1));
    setText(control(WindowControl::PathBox), file);
    ASSERT_EQ(windowText(control(WindowControl::PathBox)), file);
    update();
    expectFinished();

    click(WindowControl::Clear);
    click(WindowControl::Read);
    ASSERT_TRUE(waitIdle(kUpdateBudgetMs));
    EXPECT_TRUE(window->model().lastOutcome().finished());
    EXPECT_NE(output().find(L"2.2.3X"), std::wstring::npos) << utf8FromWide(output());
}

TEST_F(Win32WindowEndToEndTest, UpdateOverAComPortFromTheUsbPanel) {
    const std::wstring port = environment(L"KORVANE_E2E_COM");
    const std::wstring file = nonAsciiCopy(environment(L"KORVANE_E2E_COM_FILE"), L"com");
    ASSERT_FALSE(port.empty() || file.empty()) << "run by scripts/test-windows.sh";

    ports = {"COM1", utf8FromWide(port)};
    openWindow(realJob);
    click(WindowControl::Usb);
    SendMessageW(window->usbPanel().portList(), CB_SETCURSEL, 1, 0);
    setText(control(WindowControl::PathBox), file);
    update();
    expectFinished();
}

}  // namespace
}  // namespace korvane::test
