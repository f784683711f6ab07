#include "app/windowmenu.h"

#include <QString>
#include <QtGlobal>

#include "app/desktop.h"
#include "quorvane/version.h"

namespace quorvane::app {

namespace {

// Heights from this one up count as "phase panel shown".
constexpr double kPhasePanelShownHeight = 2500;

void showAbout(WindowOptions& window) {
    const QString credit = QStringLiteral("Quorvane %1 \u2014 Qt %2 \u2014 MIT licence")
                               .arg(QLatin1String(kVersionText), QLatin1String(qVersion()));
    desktop::showInformation(window.widget(), QStringLiteral("About"),
                             QStringLiteral("Quorvane, Display Envoy info realtime.\r\n") + credit);
}

} // namespace

void SetupSystemMenu(WindowOptions& window, const QString& stayOnTop, const QString& showSettings,
                     const QString& showPhases, const QString& about) {
    const desktop::MenuCommands commands{{{kStayOnTopCommand, stayOnTop},
                                          {kShowSettingsCommand, showSettings},
                                          {kShowPhasesCommand, showPhases},
                                          {kAboutCommand, about}}};
    desktop::installWindowMenu(*window.widget(), commands,
                               [target = &window](int identifier) {
                                   runMenuCommand(*target, identifier);
                               });
}

bool runMenuCommand(WindowOptions& window, int identifier) {
    switch (identifier) {
    case kStayOnTopCommand:
        window.setStayOnTop(!window.stayOnTop());
        return true;
    case kShowSettingsCommand:
        window.setOuterWidth(window.outerWidth() > kWidthPhases ? kWidthPhases : kWidthSettings);
        return true;
    case kShowPhasesCommand:
        togglePhasePanel(window);
        return true;
    case kAboutCommand:
        showAbout(window);
        return true;
    default:
        return false;
    }
}

void togglePhasePanel(WindowOptions& window) {
    window.setOuterHeight(window.outerHeight() >= kPhasePanelShownHeight ? kHeightMainRows
                                                                         : kHeightPhaseRows);
    window.setOuterWidth(kWidthPhases);
}

} // namespace quorvane::app
