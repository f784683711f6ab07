#include "windowicons.h"

#include <QIcon>
#include <QWidget>
#include <QWindow>

namespace quorvane::testing {

// X11 and Wayland take one icon in several sizes from the window.
WindowIcons nativeWindowIcons(QWidget& window) {
    const QWindow* handle = window.windowHandle();
    const bool set = handle != nullptr && !handle->icon().isNull();
    return {set, set};
}

} // namespace quorvane::testing
