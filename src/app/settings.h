#pragma once

#include <memory>

#include <QSettings>

#include "app/windowoptions.h"

namespace quorvane::app {

// The per-user store: native format, organisation and application "Quorvane" (on Linux
// $XDG_CONFIG_HOME/Quorvane/Quorvane.conf).
std::unique_ptr<QSettings> openUserSettings();

// Restores position, size, the IP text, the write check box and StayOnTop from section
// "Settings"; applies nothing when Top is missing or negative.
void LoadSettings(WindowOptions& window, QSettings& store);

// Writes the seven keys of section "Settings", the position corrected to lie on the screen.
void SaveSettings(WindowOptions& window, QSettings& store);

} // namespace quorvane::app
