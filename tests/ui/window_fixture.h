#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/fake_job.h"
#include "ui/qt/updater_window.h"

namespace korvane::test {

// A window on a scripted job, shown (reports to a hidden window are dropped).
class WindowTest : public ::testing::Test {
protected:
    std::vector<std::string> ports{"/dev/ttyUSB0", "/dev/rfcomm0", "/dev/ttyACM0"};
    FakeJob job;
    std::unique_ptr<UpdaterWindow> window;

    void openWindow() {
        window = std::make_unique<UpdaterWindow>(job, [this] { return ports; });
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void TearDown() override {
        if (window) {
            ASSERT_TRUE(waitIdle());
            window.reset();
        }
    }

    bool waitIdle(int timeoutMs = 15000) {
        return QTest::qWaitFor([this] { return !window->isBusy(); }, timeoutMs);
    }

    QString output() const { return window->outputBox()->toPlainText(); }
};

}  // namespace korvane::test
