#pragma once

#include "history/energy.h"

#include <functional>

namespace quorvane::app {

// Where the energy window takes its numbers from.
struct EnergySources {
    // The local day's energy; no intervals when the day has no history.
    std::function<history::DayEnergy(history::LocalDate)> day;
    // The month's energy (month 1 to 12); no days when it has no history.
    std::function<history::MonthEnergy(int year, int month)> month;
    // Today's local date.
    std::function<history::LocalDate()> today;
};

} // namespace quorvane::app
