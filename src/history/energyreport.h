#pragma once

#include "history/energy.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The energy history as text for scripts: what `--energy [DAY|MONTH]` prints.
namespace quorvane::history {

// A day, or a month (then `date.day` is 1).
struct EnergyRequest {
    LocalDate date;
    bool wholeMonth = false;
    bool operator==(const EnergyRequest&) const = default;
};

// The request in "YYYY-MM-DD" or "YYYY-MM"; `today` when there is no argument; nothing for any
// other text or a date the calendar does not have.
std::optional<EnergyRequest> parseEnergyArgument(std::optional<std::string_view> argument,
                                                 const LocalDate& today);

// The first line of every report, with its line end.
inline constexpr std::string_view kEnergyReportHeader =
    "date,produced_wh,consumed_wh,imported_wh,exported_wh,complete\n";

// The header and, when the day has history, its line: whole Wh rounded half away from zero,
// no grouping, whatever the locale; complete "yes" or "no".
std::string energyReport(const DayEnergy& day);

// The header, a line for each day with history and then the month's line ("2026-12,...");
// the header alone when no day has history.
std::string energyReport(const MonthEnergy& month);

// `--energy`: the report of the requested day or month of the history in `folder` into `out`,
// and 0; or an error message (ending in a line end) into `err`, and 2.
int energyCommand(const std::filesystem::path& folder, std::optional<std::string_view> argument,
                  SecondMeter meter, std::string& out, std::string& err);

} // namespace quorvane::history
