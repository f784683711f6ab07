#include <functional>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#ifdef Q_OS_WIN
#include "common/win32dialogs.h"
#endif

#include "app/windowmenu.h"
#include "optionswindow.h"

namespace quorvane::testing {
namespace {

using app::runMenuCommand;

const QString kItemTexts[] = {"Stay On Top toggle..", "Show Settings...", "Show Phases...",
                              "About..."};
const int kIdentifiers[] = {1010, 1011, 1013, 1015};

// A fresh window with the four commands installed.
class WindowMenu : public ::testing::Test {
protected:
    WindowMenu() {
        app::SetupSystemMenu(m_window, kItemTexts[0], kItemTexts[1], kItemTexts[2], kItemTexts[3]);
    }

    // Calls `act`, which may open a modal window and return when it closes; `inspect` sees that
    // window, which is then closed. False when nothing opened.
    static bool whileModal(const std::function<void()>& act,
                           const std::function<void(QWidget*)>& inspect) {
        bool opened = false;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (QWidget* shown = QApplication::activeModalWidget()) {
                watcher.stop();
                opened = true;
                inspect(shown);
                shown->close();
            }
        });
        watcher.start(10);
        act();
        return opened;
    }

    OptionsWindow m_window;
};

// Whether the window system keeps the window above others.
bool isTopmost(QWidget& window) {
#ifdef Q_OS_WIN
    const auto handle = reinterpret_cast<HWND>(window.winId());
    return (GetWindowLongW(handle, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
#else
    return window.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
#endif
}

TEST_F(WindowMenu, StayOnTopToggledTwiceEndsWhereItStarted) {
    const QRect geometry = m_window.frameGeometry();
    EXPECT_TRUE(runMenuCommand(m_window, 1010));
    EXPECT_TRUE(isTopmost(m_window));
    EXPECT_TRUE(m_window.stayOnTop());
    EXPECT_TRUE(m_window.isVisible());
    EXPECT_TRUE(runMenuCommand(m_window, 1010));
    EXPECT_FALSE(isTopmost(m_window));
    EXPECT_FALSE(m_window.stayOnTop());
    EXPECT_TRUE(m_window.isVisible());
    EXPECT_EQ(m_window.frameGeometry(), geometry);
}

TEST_F(WindowMenu, ShowSettingsSwitchesBetweenTheSettingsWidthAndThePhaseWidth) {
    const std::pair<double, double> rows[] = {
        {4575, 9165}, {5265, 9165}, {9165, 5265}, {5266, 5265}, {12000, 5265}};
    for (const auto& [width, next] : rows) {
        SCOPED_TRACE(width);
        m_window.setOuterWidth(width);
        EXPECT_TRUE(runMenuCommand(m_window, 1011));
        EXPECT_EQ(m_window.outerWidth(), next);
        EXPECT_EQ(m_window.outerHeight(), 2160);
    }
}

TEST_F(WindowMenu, ShowPhasesTogglesThePhaseRowsAndNarrowsToThePhaseWidth) {
    const std::pair<double, double> rows[] = {
        {2160, 3560}, {3560, 2160}, {2499, 3560}, {2500, 2160}, {2530, 2160}};
    for (const auto& [height, next] : rows) {
        SCOPED_TRACE(height);
        m_window.setOuterWidth(9165);
        m_window.setOuterHeight(height);
        EXPECT_TRUE(runMenuCommand(m_window, 1013));
        EXPECT_EQ(m_window.outerHeight(), next);
        EXPECT_EQ(m_window.outerWidth(), 5265);
    }
}

TEST_F(WindowMenu, OtherIdentifiersDoNothing) {
    m_window.setOuterWidth(9165);
    for (int identifier : {1012, 1014, 1009, 1016, 0, -1010, 0xF060, 1010 + 0x10000}) {
        SCOPED_TRACE(identifier);
        const bool opened = whileModal([&] { EXPECT_FALSE(runMenuCommand(m_window, identifier)); },
                                       [](QWidget*) {});
        EXPECT_FALSE(opened);
        EXPECT_EQ(m_window.outerWidth(), 9165);
        EXPECT_EQ(m_window.outerHeight(), 2160);
        EXPECT_FALSE(m_window.stayOnTop());
    }
}

#ifdef Q_OS_WIN

// The message box titled "About" that the program shows, once it is up.
HWND aboutBox() {
    return FindWindowW(L"#32770", L"About");
}

TEST_F(WindowMenu, AboutShowsTheInformationBoxWithOneOkButton) {
    bool handled = false;
    bool opened = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        const HWND box = aboutBox();
        if (box == nullptr) {
            return;
        }
        watcher.stop();
        opened = true;
        EXPECT_EQ(QString::fromStdWString(boxText(box)),
                  QStringLiteral("Quorvane, Display Envoy info realtime.\r\nQuorvane 3.1.4 "
                                 "\u2014 Qt ") + qVersion() +
                      QStringLiteral(" \u2014 MIT licence"));
        EXPECT_EQ(shownIcon(box), LoadIconW(nullptr, IDI_INFORMATION));
        EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
        EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    watcher.start(10);
    handled = runMenuCommand(m_window, 1015);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(handled);
    EXPECT_EQ(aboutBox(), nullptr);
}

#else

TEST_F(WindowMenu, AboutShowsTheInformationBoxWithOneOkButton) {
    bool handled = false;
    const bool opened =
        whileModal([&] { handled = runMenuCommand(m_window, 1015); },
                   [](QWidget* shown) {
                       auto* box = qobject_cast<QMessageBox*>(shown);
                       ASSERT_NE(box, nullptr);
                       EXPECT_EQ(box->icon(), QMessageBox::Information);
                       EXPECT_EQ(box->windowTitle(), "About");
                       EXPECT_EQ(box->text(), QStringLiteral("Quorvane, Display Envoy info "
                                                             "realtime.\r\nQuorvane 3.1.4 "
                                                             "\u2014 Qt ") +
                                                  qVersion() +
                                                  QStringLiteral(" \u2014 MIT licence"));
                       EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
                   });
    EXPECT_TRUE(opened);
    EXPECT_TRUE(handled);
}

#endif

#ifdef Q_OS_WIN

TEST_F(WindowMenu, SystemMenuEndsWithTheFourCommandsAndHandlesExactlyThem) {
    const HWND handle = reinterpret_cast<HWND>(m_window.winId());
    const HMENU menu = GetSystemMenu(handle, FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 5);
    MENUITEMINFOA separator{};
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(menu, static_cast<UINT>(count - 5), TRUE, &separator);
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
    for (int i = 0; i < 4; ++i) {
        const int position = count - 4 + i;
        char text[64] = {};
        GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
        EXPECT_EQ(QString::fromLocal8Bit(text), kItemTexts[i]);
        EXPECT_EQ(GetMenuItemID(menu, position), static_cast<UINT>(kIdentifiers[i]));
    }

    // Sent as the window system sends a chosen item: the commands run, everything else (1012,
    // minimise) goes to the normal handling.
    SendMessageA(handle, WM_SYSCOMMAND, 1012, 0);
    EXPECT_EQ(m_window.outerWidth(), 4575);
    EXPECT_FALSE(m_window.isMinimized());
    SendMessageA(handle, WM_SYSCOMMAND, 1011, 0);
    EXPECT_EQ(m_window.outerWidth(), 9165);
    SendMessageA(handle, WM_SYSCOMMAND, 1013, 0);
    EXPECT_EQ(m_window.outerHeight(), 3560);
    EXPECT_EQ(m_window.outerWidth(), 5265);
    SendMessageA(handle, WM_SYSCOMMAND, 1010, 0);
    EXPECT_TRUE(isTopmost(m_window));
    SendMessageA(handle, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_window.isMinimized(); }));
}

#else

TEST_F(WindowMenu, ContextMenuCarriesTheFourCommandsInOrder) {
    const QList<QAction*> actions = m_window.actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_TRUE(actions[0]->isSeparator());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(actions[i + 1]->text(), kItemTexts[i]);
        EXPECT_EQ(actions[i + 1]->data(), kIdentifiers[i]);
        EXPECT_FALSE(actions[i + 1]->isCheckable());
    }

    actions[2]->trigger();
    EXPECT_EQ(m_window.outerWidth(), 9165);
    actions[3]->trigger();
    EXPECT_EQ(m_window.outerHeight(), 3560);
    EXPECT_EQ(m_window.outerWidth(), 5265);
}

TEST_F(WindowMenu, RightClickOnTheWindowOrALabelOpensTheCommandsButTextBoxesKeepTheirMenu) {
    m_window.setOuterWidth(9165);
    struct Row {
        const char* name;
        QPoint inside;
        bool commands;
    };
    const Row rows[] = {
        {"label", m_window.label()->geometry().center(), true},
        {"window background", QPoint(200, 120), true},
        {"IP box", m_window.ipBox()->geometry().center(), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QList<QAction*> shown;
        bool opened = false;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                opened = true;
                shown = menu->actions();
                menu->close();
            }
        });
        watcher.start(10);
        // Through the window system, which turns the right button into a context menu event; the
        // commands' menu blocks until closed, a text box's edit menu pops up and returns.
        QTest::mouseClick(m_window.windowHandle(), Qt::RightButton, {}, row.inside);
        EXPECT_TRUE(QTest::qWaitFor([&] { return opened; }));
        EXPECT_EQ(shown == m_window.actions(), row.commands);
        EXPECT_FALSE(shown.isEmpty());
    }
}

#endif

} // namespace
} // namespace quorvane::testing
