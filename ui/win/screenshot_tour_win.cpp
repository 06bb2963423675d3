// Pictures of the real Win32 window for review (scripts/screenshots-windows.sh runs it under wine
// in Xvfb): at start, the About box, the WIFI panel, and after a whole update against an adapter.
//   korvane-ui-tour.exe OUT_DIR [ADDRESS PORT FIRMWARE_FILE]
#include "ui/win/win_api.h"
// After the Windows headers it builds on.
#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "channel/serial/serial_port_list.h"
#include "engine/update_job.h"
#include "platform/wide_text_win.h"
#include "ui/model/app_info.h"
#include "ui/win/png_file.h"
#include "ui/win/updater_window_win.h"

namespace {

constexpr DWORD kUpdateBudgetMs = 120000;
constexpr DWORD kSettleMs = 300;

std::wstring outDir;
bool allWritten = true;

// Carries out the thread's messages for `ms` milliseconds.
void settle(korvane::UpdaterWindowWin& window, DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!window.handleMessage(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
}

// The window as the screen shows it, frame included, saved as OUT_DIR/name.
void savePicture(HWND window, const wchar_t* name) {
    RECT area;
    GetWindowRect(window, &area);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
    SelectObject(memory, old);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint8_t> bgra(static_cast<std::size_t>(width) * height * 4);
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), bgra.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    std::vector<std::uint8_t> rgb;
    rgb.reserve(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < bgra.size(); i += 4) {
        rgb.insert(rgb.end(), {bgra[i + 2], bgra[i + 1], bgra[i]});
    }
    const std::vector<std::uint8_t> png = korvane::pngFile(width, height, rgb);
    const std::wstring path = outDir + L"\\" + name;
    std::ofstream file(path.c_str(), std::ios::binary);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    if (!file) {
        std::fprintf(stderr, "cannot write %s\n", korvane::utf8FromWide(path).c_str());
        allWritten = false;
        return;
    }
    std::printf("wrote %s\n", korvane::utf8FromWide(path).c_str());
}

// Inside the About box's own modal loop: picture it, then close it.
void CALLBACK pictureAboutBox(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    const std::wstring caption = korvane::wideFromUtf8(korvane::kAboutCaption).value_or(L"");
    HWND about = FindWindowW(nullptr, caption.c_str());
    if (about == nullptr) {
        std::fprintf(stderr, "the About box did not open\n");
        allWritten = false;
        return;
    }
    savePicture(about, L"about-box.png");
    PostMessageW(about, WM_COMMAND, IDOK, 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 5) {
        std::fprintf(stderr, "usage: %s OUT_DIR [ADDRESS PORT FIRMWARE_FILE]\n", argv[0]);
        return 2;
    }
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    outDir = korvane::wideFromUtf8(argv[1]).value_or(L".");
    CreateDirectoryW(outDir.c_str(), nullptr);

    korvane::UpdateJob job;
    korvane::UpdaterWindowWin window(
        job, [] { return korvane::listSerialPorts(); }, GetModuleHandleW(nullptr));
    if (!window.create()) {
        std::fprintf(stderr, "the window could not be created\n");
        return 1;
    }
    window.show();
    settle(window, kSettleMs);
    savePicture(window.handle(), L"window-start.png");

    // The About entry of the system menu, as the menu sends it.
    SetTimer(nullptr, 0, kSettleMs, &pictureAboutBox);
    SendMessageW(window.handle(), WM_SYSCOMMAND, korvane::kAboutCommand, 0);
    settle(window, kSettleMs);

    SendMessageW(window.control(korvane::WindowControl::Wifi), BM_CLICK, 0, 0);
    settle(window, kSettleMs);
    savePicture(window.handle(), L"wifi-panel.png");

    bool finished = true;
    if (argc == 5) {
        for (const auto& [box, text] :
             {std::pair{window.wifiPanel().addressBox(), argv[2]},
              std::pair{window.wifiPanel().portBox(), argv[3]},
              std::pair{window.control(korvane::WindowControl::PathBox), argv[4]}}) {
            SetWindowTextW(box, korvane::wideFromUtf8(text).value_or(L"").c_str());
        }
        SendMessageW(window.control(korvane::WindowControl::Update), BM_CLICK, 0, 0);
        const DWORD start = GetTickCount();
        while (window.isBusy() && GetTickCount() - start < kUpdateBudgetMs) {
            settle(window, 50);
        }
        settle(window, kSettleMs);
        finished = !window.isBusy() && window.model().lastOutcome().finished();
        savePicture(window.handle(), L"update-finished.png");
        if (!finished) {
            std::fprintf(stderr, "the update did not finish\n");
        }
    }
    SendMessageW(window.handle(), WM_COMMAND, IDCANCEL, 0);
    return allWritten && finished ? 0 : 1;
}
