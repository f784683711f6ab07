#include "app/windowmenu.h"

#include <array>
#include <utility>

#include <QMessageBox>
#include <QWidget>
#include <QtGlobal>

#ifdef Q_OS_WIN
#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <QAction>
#include <QLabel>
#include <QList>
#endif

#include "quorvane/version.h"

namespace quorvane::app {

namespace {

// Heights from this one up count as "phase panel shown".
constexpr double kPhasePanelShownHeight = 2500;

using MenuItems = std::array<std::pair<int, QString>, 4>;

void showAbout(WindowOptions& window) {
    const QString credit = QStringLiteral("Quorvane %1 \u2014 Qt %2")
                               .arg(QLatin1String(kVersionText), QLatin1String(qVersion()));
    QMessageBox box(QMessageBox::Information, QStringLiteral("About"),
                    QStringLiteral("Quorvane, Display Envoy info realtime.\r\n") + credit,
                    QMessageBox::Ok, window.widget());
    box.exec();
}

#ifdef Q_OS_WIN

// The text in the system's ANSI code page, as AppendMenuA takes it.
QByteArray ansiText(const QString& text) {
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int wideLength = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
    QByteArray bytes(length, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, wideLength, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

void appendSystemMenuItems(HWND handle, const MenuItems& items) {
    HMENU menu = GetSystemMenu(handle, FALSE);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    for (const auto& [identifier, text] : items) {
        AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(identifier), ansiText(text).constData());
    }
}

// Takes the four commands out of the main window's WM_SYSCOMMAND messages and hands every other
// message on. Lives as long as the window.
class SystemMenuCommands : public QObject, public QAbstractNativeEventFilter {
public:
    SystemMenuCommands(WindowOptions& window, const MenuItems& items)
        : QObject(window.widget()), m_window(window), m_items(items) {
        appendSystemMenuItems(reinterpret_cast<HWND>(window.widget()->winId()), m_items);
        window.widget()->installEventFilter(this);
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override {
        if (eventType != "windows_generic_MSG") {
            return false;
        }
        const auto* msg = static_cast<const MSG*>(message);
        if (msg->hwnd != handle() || msg->message != WM_SYSCOMMAND || !isMenuCommand(msg->wParam)) {
            return false;
        }
        runMenuCommand(m_window, static_cast<int>(msg->wParam));
        *result = 0;
        return true;
    }

protected:
    // A new native window (after some window-flag changes) has a fresh system menu.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window.widget() && event->type() == QEvent::WinIdChange &&
            handle() != nullptr) {
            appendSystemMenuItems(handle(), m_items);
        }
        return false;
    }

private:
    HWND handle() const { return reinterpret_cast<HWND>(m_window.widget()->internalWinId()); }

    // The whole wParam is compared, with no masking of the low bits.
    bool isMenuCommand(WPARAM wParam) const {
        for (const auto& item : m_items) {
            if (wParam == static_cast<WPARAM>(item.first)) {
                return true;
            }
        }
        return false;
    }

    WindowOptions& m_window;
    MenuItems m_items;
};

#else

void addContextMenu(WindowOptions& window, const MenuItems& items) {
    QWidget* main = window.widget();
    auto* separator = new QAction(main);
    separator->setSeparator(true);
    QList<QAction*> actions{separator};
    for (const auto& [identifier, text] : items) {
        auto* action = new QAction(text, main);
        action->setData(identifier);
        QObject::connect(
            action, &QAction::triggered, main,
            [target = &window, command = identifier] { runMenuCommand(*target, command); });
        actions.append(action);
    }
    // Text boxes keep their own edit menus; a right click elsewhere lands on the window or a label.
    main->addActions(actions);
    main->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (QLabel* label : main->findChildren<QLabel*>()) {
        label->addActions(actions);
        label->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
}

#endif

} // namespace

void SetupSystemMenu(WindowOptions& window, const QString& stayOnTop, const QString& showSettings,
                     const QString& showPhases, const QString& about) {
    const MenuItems items{{{kStayOnTopCommand, stayOnTop},
                           {kShowSettingsCommand, showSettings},
                           {kShowPhasesCommand, showPhases},
                           {kAboutCommand, about}}};
#ifdef Q_OS_WIN
    new SystemMenuCommands(window, items);
#else
    addContextMenu(window, items);
#endif
}

bool runMenuCommand(WindowOptions& window, int identifier) {
    switch (identifier) {
    case kStayOnTopCommand:
        window.setStayOnTop(!window.stayOnTop());
        return true;
    case kShowSettingsCommand:
        window.setOuterWidth(window.outerWidth() > kWidthPhases ? kWidthPhases : kWidthSettings);
        return true;
    case kShowPhasesCommand:
        togglePhasePanel(window);
        return true;
    case kAboutCommand:
        showAbout(window);
        return true;
    default:
        return false;
    }
}

void togglePhasePanel(WindowOptions& window) {
    window.setOuterHeight(window.outerHeight() >= kPhasePanelShownHeight ? kHeightMainRows
                                                                         : kHeightPhaseRows);
    window.setOuterWidth(kWidthPhases);
}

} // namespace quorvane::app
