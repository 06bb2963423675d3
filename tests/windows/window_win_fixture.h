#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/fake_job.h"
#include "ui/win/updater_window_win.h"
#include "ui/win/window_text.h"
// After the Windows headers it builds on.
#include <commctrl.h>

namespace korvane::test {

// The Win32 window on a job of the test's choice, shown, driven by window messages on the test's
// thread, which is the window's thread.
class Win32WindowTest : public ::testing::Test {
protected:
    std::vector<std::string> ports{"COM3", "COM10", "COM1"};
    FakeJob job;
    std::unique_ptr<UpdaterWindowWin> window;

    void openWindow(UpdateJob& on) {
        window = std::make_unique<UpdaterWindowWin>(
            on, [this] { return ports; }, GetModuleHandleW(nullptr));
        ASSERT_TRUE(window->create());
        window->show();
    }
    void openWindow() { openWindow(job); }

    void TearDown() override {
        if (window) {
            ASSERT_TRUE(pumpUntil([this] { return !window->isBusy(); }));
            window.reset();
        }
    }

    // Carries out the thread's messages, as the window's loop does, until `done` holds.
    bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 15000) {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > timeoutMs) {
                return false;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            pumpPending();
        }
        return true;
    }
    void pumpPending() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!window || window->closed() || !window->handleMessage(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
    bool waitIdle(DWORD timeoutMs = 15000) {
        return pumpUntil([this] { return !window->isBusy(); }, timeoutMs);
    }

    HWND control(WindowControl id) const { return window->control(id); }
    void click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }
    void click(WindowControl id) { click(control(id)); }
    void setText(HWND box, const std::wstring& text) {
        SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // Return pressed with the focus on `target`, through the thread's queue.
    void pressEnterOn(HWND target) {
        SetFocus(target);
        ASSERT_EQ(GetFocus(), target);
        PostMessageW(target, WM_KEYDOWN, VK_RETURN, 1);
        pumpPending();
        ASSERT_TRUE(waitIdle());
    }
    std::wstring output() const {
        return withoutCarriageReturns(windowText(control(WindowControl::Output)));
    }
    int progress() const {
        return static_cast<int>(SendMessageW(control(WindowControl::Progress), PBM_GETPOS, 0, 0));
    }
    static std::vector<std::wstring> items(HWND list) {
        std::vector<std::wstring> texts;
        const auto count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::wstring text(
                static_cast<std::size_t>(SendMessageW(list, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
            SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
            text.resize(text.size() - 1);
            texts.push_back(text);
        }
        return texts;
    }
    static int selected(HWND list) {
        return static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
    }
};

}  // namespace korvane::test
