#pragma once

#include <QIcon>

namespace quorvane::app {

// The program's icon in every size it carries (data/icons, built into quorvane_app), for the
// windows' title bars and the task bar.
QIcon programIcon();

} // namespace quorvane::app
