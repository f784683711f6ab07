#include <QApplication>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

// The window runs offscreen in UTC, so time stamps read the same on every machine.
int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
