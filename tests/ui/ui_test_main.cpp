// Runs the window tests inside one QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#if defined(__SANITIZE_THREAD__)
// Qt from the distribution is not built with the thread sanitizer: its event queue, semaphores,
// wait conditions and the raster engine's thread pool synchronise through code the sanitizer
// cannot see, so the copies, allocations and frees it makes on its own threads look
// unsynchronised. Calls made from inside Qt's libraries are left out; the window marks its own
// hand-overs between threads (ui/qt/thread_handoff.h), so races in our code are still reported.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n";
}
#endif

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    // The window runs worker threads; a death test must start its child afresh.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
