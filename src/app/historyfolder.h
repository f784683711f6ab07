#pragma once

#include <filesystem>

namespace quorvane::app {

// The energy history's folder: "history" in the application's local data folder
// ($XDG_DATA_HOME/Quorvane, %LOCALAPPDATA%\Quorvane), or "history-b" beside it for QuorvaneB,
// whose second meter measures something else. Needs the application's name set.
std::filesystem::path historyFolder(bool consumptionVariant);

} // namespace quorvane::app
