#pragma once

#include <QString>

#include "app/windowoptions.h"

namespace quorvane::app {

// Identifiers of the window-menu commands.
inline constexpr int kStayOnTopCommand = 1010;
inline constexpr int kShowSettingsCommand = 1011;
inline constexpr int kShowPhasesCommand = 1013;
inline constexpr int kAboutCommand = 1015;

// Installs the separator and the four commands: appended to the system menu on Windows (texts
// in the ANSI code page, WM_SYSCOMMAND with exactly these identifiers taken, all else passed on);
// elsewhere the context menu of the main window and of the labels it has at this call.
void SetupSystemMenu(WindowOptions& window, const QString& stayOnTop, const QString& showSettings,
                     const QString& showPhases, const QString& about);

// Carries out the command `identifier` (About returns when its box is closed); false (and
// nothing done) for any other value.
bool runMenuCommand(WindowOptions& window, int identifier);

// Shows or hides the phase panel (the rule of a double click on Grid and of "Show Phases...").
void togglePhasePanel(WindowOptions& window);

} // namespace quorvane::app
