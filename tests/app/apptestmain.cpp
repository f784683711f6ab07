#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
#ifndef _WIN32
    // Offscreen unless the test's registration names a platform (xcb under Xvfb). Windows tests
    // need real native windows (system menu, z-order) and run on a display.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
#endif
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
