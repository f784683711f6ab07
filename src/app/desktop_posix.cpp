#include "app/desktop.h"

#include <QAbstractNativeEventFilter>
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace quorvane::app::desktop {

namespace {

xcb_atom_t atomNamed(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// Qt drops the close request of a window that a modal window blocks; on X11 that request is the
// WM_DELETE_WINDOW message that the window manager sends for the close box, Alt+F4 and the
// window menu's Close. This filter takes it first while a modal window is up and closes the
// window all the same, as its close box would; the window's close ends the modal one.
class CloseRequestFilter final : public QObject, public QAbstractNativeEventFilter {
public:
    CloseRequestFilter(QWidget& window, xcb_connection_t* connection)
        : QObject(&window), m_window(&window), m_protocols(atomNamed(connection, "WM_PROTOCOLS")),
          m_deleteWindow(atomNamed(connection, "WM_DELETE_WINDOW")) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~CloseRequestFilter() override {
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::instance()->removeNativeEventFilter(this);
        }
    }

    CloseRequestFilter(const CloseRequestFilter&) = delete;
    CloseRequestFilter& operator=(const CloseRequestFilter&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t" || !m_window ||
            QApplication::activeModalWidget() == nullptr) {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        // The high bit marks an event another client sent, as window managers send this one.
        if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) {
            return false;
        }
        const auto* request = static_cast<const xcb_client_message_event_t*>(message);
        if (request->format != 32 || request->type != m_protocols ||
            request->data.data32[0] != m_deleteWindow ||
            request->window != static_cast<xcb_window_t>(m_window->internalWinId())) {
            return false;
        }
        m_window->close();
        return true;
    }

private:
    QPointer<QWidget> m_window;
    xcb_atom_t m_protocols;
    xcb_atom_t m_deleteWindow;
};

} // namespace

QString designFamily() {
    return QStringLiteral("Liberation Sans");
}

void installWindowMenu(QWidget& window, const MenuCommands& commands,
                       const std::function<void(int)>& run) {
    auto* separator = new QAction(&window);
    separator->setSeparator(true);
    QList<QAction*> actions{separator};
    for (const MenuCommand& command : commands) {
        auto* action = new QAction(command.text, &window);
        action->setData(command.identifier);
        QObject::connect(action, &QAction::triggered, &window,
                         [run, identifier = command.identifier] { run(identifier); });
        actions.append(action);
    }
    // Text boxes keep their own edit menus; a right click elsewhere lands on the window or a label.
    window.addActions(actions);
    window.setContextMenuPolicy(Qt::ActionsContextMenu);
    for (QLabel* label : window.findChildren<QLabel*>()) {
        label->addActions(actions);
        label->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
}

void closeWhenSessionEnds(QWidget& window) {
    // The session's end comes as SIGTERM or as the application's quit (see EndSignals). A close
    // request under a modal window needs help only on X11; other platforms give no connection.
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 != nullptr && x11->connection() != nullptr) {
        new CloseRequestFilter(window, x11->connection());
    }
}

void setStaysOnTop(QWidget& window, bool on) {
    if (window.windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) {
        return;
    }
    const bool shown = window.isVisible();
    window.setWindowFlag(Qt::WindowStaysOnTopHint, on);
    // X11 and Wayland take the flag only with a new native window, which hides the window.
    if (shown) {
        window.show();
    }
}

QRect outerGeometry(const QWidget& window) {
    return window.frameGeometry();
}

void setOuterGeometry(QWidget& window, const QRect& outer) {
    const QSize frame = window.frameGeometry().size() - window.size();
    window.move(outer.topLeft());
    window.resize(outer.size() - frame);
}

void showInformation(QWidget* owner, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, owner);
    box.exec();
}

bool attachStartingConsole() {
    return true;
}

} // namespace quorvane::app::desktop
