#include "app/desktop.h"

#include <QAction>
#include <QLabel>
#include <QList>
#include <QMessageBox>
#include <QWidget>

namespace quorvane::app::desktop {

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

void closeWhenSessionEnds(QWidget&) {
    // The session's end comes as SIGTERM or as the application's quit (see EndSignals).
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
