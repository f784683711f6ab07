#include "app/programicon.h"

#include <QSize>
#include <QString>

// The icons' resource object lies in a static library, where nothing else refers to it: the
// linker would drop it with its initializer, so it is registered here by name.
static void registerIconResource() {
    Q_INIT_RESOURCE(quorvane);
}

namespace quorvane::app {

QIcon programIcon() {
    registerIconResource();
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/quorvane-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace quorvane::app
