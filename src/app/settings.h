#pragma once

#include <memory>

#include <QSettings>

#include "app/windowoptions.h"

class QWidget;

namespace quorvane::app {

// The per-user store: native format, organisation and application "Quorvane" (on Linux
// $XDG_CONFIG_HOME/Quorvane/Quorvane.conf).
std::unique_ptr<QSettings> openUserSettings();

// Restores position, size, the IP text, the output file's name, the write check box and
// StayOnTop from section "Settings"; applies nothing when Top is missing or negative. A missing
// key reads as "-1" (so Write is then ticked and OnTop true), except OutFile: without it the
// window keeps its own name. Numbers go to the nearest whole number, halves to even, and a Top,
// Left, Height, Width or Write that is no number or does not fit counts as missing.
void LoadSettings(WindowOptions& window, QSettings& store);

// Writes the eight keys of section "Settings" as text, the position corrected to lie on the
// screen and Top never negative, and flushes the store. Other sections are left alone.
void SaveSettings(WindowOptions& window, QSettings& store);

// Gives the energy window its size and place from section "EnergyWindow" (key Geometry), moved
// onto a screen where it would lie off every screen. False when none is stored or it is unreadable.
bool loadEnergyWindowPlace(QWidget& window, QSettings& store);

// Keeps the energy window's size and place in section "EnergyWindow" and flushes the store.
void saveEnergyWindowPlace(const QWidget& window, QSettings& store);

} // namespace quorvane::app
