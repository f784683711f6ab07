#pragma once

class QWidget;

namespace quorvane::app {

// Makes the main window's controls as designed, as children of `form`: each named, placed, sized,
// worded and lettered as the design has it, in the design's tab order. The labels take no focus.
void createDesignedControls(QWidget& form);

} // namespace quorvane::app
