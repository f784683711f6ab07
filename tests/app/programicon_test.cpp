// The program's icon reaches its windows: from the resources of quorvane_app, in every size,
// and as the window system's title-bar and task-bar icon of a shown window.

#include "app/programicon.h"
#include "windowicons.h"

#include <QApplication>
#include <QPixmap>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

TEST(ProgramIcon, LoadsInEverySize) {
    const QIcon icon = app::programIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QPixmap pixmap = icon.pixmap(QSize(size, size), 1.0);
        ASSERT_FALSE(pixmap.isNull()) << size;
        EXPECT_EQ(pixmap.size(), QSize(size, size));
    }
}

TEST(ProgramIcon, IsAShownWindowsOwnIcon) {
    QApplication::setWindowIcon(app::programIcon());
    QWidget window;
    window.setWindowTitle(QStringLiteral("QuorvaneT"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_FALSE(window.windowIcon().isNull());
    const WindowIcons icons = nativeWindowIcons(window);
    EXPECT_TRUE(icons.small);
    EXPECT_TRUE(icons.big);
    QApplication::setWindowIcon(QIcon());
}

} // namespace
} // namespace quorvane::testing
