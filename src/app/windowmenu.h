#pragma once

#include <QString>

#include "app/windowoptions.h"

namespace quorvane::app {

// Identifiers of the window-menu commands.
inline constexpr int kStayOnTopCommand = 1010;
inline constexpr int kShowSettingsCommand = 1011;
inline constexpr int kShowPhasesCommand = 1013;
inline constexpr int kAboutCommand = 1015;

// Installs the separator and the four commands: appended to the system menu on Windows, in the
// main window's context menu elsewhere.
void SetupSystemMenu(WindowOptions& window, const QString& stayOnTop, const QString& showSettings,
                     const QString& showPhases, const QString& about);

// Carries out the command `identifier`; false (and nothing done) for any other value.
bool runMenuCommand(WindowOptions& window, int identifier);

// Shows or hides the phase panel (the rule of a double click on Grid and of "Show Phases...").
void togglePhasePanel(WindowOptions& window);

} // namespace quorvane::app
