#include "windowicons.h"

#include <QWidget>
#include <windows.h>

namespace quorvane::testing {

WindowIcons nativeWindowIcons(QWidget& window) {
    const auto handle = reinterpret_cast<HWND>(window.winId());
    return {SendMessageW(handle, WM_GETICON, ICON_SMALL, 0) != 0,
            SendMessageW(handle, WM_GETICON, ICON_BIG, 0) != 0};
}

} // namespace quorvane::testing
