// The titles an X window manager shows, read from the X server: the caption exactly, with nothing
// appended by the toolkit. Runs on the xcb platform under Xvfb (see CMakeLists.txt).
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/fake_job.h"
#include "ui/model/app_info.h"
#include "ui/qt/updater_app.h"
#include "ui/qt/updater_window.h"

namespace korvane::test {
namespace {

xcb_atom_t atomNamed(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// The window's title property as the X server holds it.
std::string titleProperty(QWidget& widget, const char* property, const char* type) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) {
        return "<not on X11>";
    }
    xcb_connection_t* connection = x11->connection();
    const auto window = static_cast<xcb_window_t>(widget.winId());
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, atomNamed(connection, property),
                         atomNamed(connection, type), 0, 1024),
        nullptr);
    std::string title;
    if (reply != nullptr) {
        title.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                     static_cast<std::size_t>(xcb_get_property_value_length(reply)));
        std::free(reply);
    }
    return title;
}

TEST(WindowTitleTest, TheWindowManagerShowsTheCaptionsExactly) {
    FakeJob job;
    UpdaterWindow window(job, [] { return std::vector<std::string>{}; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(titleProperty(window, "_NET_WM_NAME", "UTF8_STRING"), kWindowCaption);
    EXPECT_EQ(titleProperty(window, "WM_NAME", "STRING"), kWindowCaption);

    // The question before closing a running job carries the same caption.
    QMessageBox question(QMessageBox::Warning, QString::fromLatin1(kWindowCaption),
                         QStringLiteral("Close anyway?"), QMessageBox::Yes | QMessageBox::No,
                         &window);
    question.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&question));
    EXPECT_EQ(titleProperty(question, "_NET_WM_NAME", "UTF8_STRING"), kWindowCaption);
}

}  // namespace
}  // namespace korvane::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    korvane::describeApplication(application);
    return RUN_ALL_TESTS();
}
