#include "windowicons.h"

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QWidget>
#include <QWindow>

namespace quorvane::testing {

// X11 and Wayland take one icon in several sizes from the window: the sizes of a title bar and
// of a task bar.
WindowIcons nativeWindowIcons(QWidget& window) {
    const QWindow* handle = window.windowHandle();
    if (handle == nullptr) {
        return {};
    }
    const QIcon icon = handle->icon();
    return {!icon.pixmap(QSize(16, 16), 1.0).isNull(), !icon.pixmap(QSize(48, 48), 1.0).isNull()};
}

} // namespace quorvane::testing
