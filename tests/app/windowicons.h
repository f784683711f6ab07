#pragma once

class QWidget;

namespace quorvane::testing {

// The icons that the window system holds for a shown top-level window: its title-bar (small)
// and task-bar (big) icon.
struct WindowIcons {
    bool small = false;
    bool big = false;
};
WindowIcons nativeWindowIcons(QWidget& window);

} // namespace quorvane::testing
