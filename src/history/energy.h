#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorvane::history {

// A local calendar day in the system's time zone.
struct LocalDate {
    int year = 0;
    int month = 0; // 1 to 12
    int day = 0;   // 1 to 31
    auto operator<=>(const LocalDate&) const = default;
};

// What the second meter measures: the grid balance (net consumption, Quorvane) or the whole
// household consumption (QuorvaneB).
enum class SecondMeter { NetConsumption, TotalConsumption };

// The energy of one interval between consecutive snapshots, or of the part of it that falls in
// one local day, in Wh. Never negative.
struct Interval {
    std::int64_t start = 0; // seconds since 1970-01-01 UTC
    std::int64_t end = 0;
    double produced = 0.0;
    double consumed = 0.0;
    double imported = 0.0;
    double exported = 0.0;
};

// Energy totals with the two ratios the owner asks for; no ratio where its divisor is 0.
struct EnergyTotals {
    double produced = 0.0;
    double consumed = 0.0;
    double imported = 0.0;
    double exported = 0.0;

    // (produced - exported) / produced
    std::optional<double> selfConsumption() const {
        if (produced == 0.0) {
            return std::nullopt;
        }
        return (produced - exported) / produced;
    }
    // (consumed - imported) / consumed
    std::optional<double> selfSufficiency() const {
        if (consumed == 0.0) {
            return std::nullopt;
        }
        return (consumed - imported) / consumed;
    }
};

// One local day: its intervals in time order (cut at its midnights) and its totals.
struct DayEnergy {
    LocalDate date;
    // The day's first and last second: [dayStart, dayEnd) is 23, 24 or 25 hours long.
    std::int64_t dayStart = 0;
    std::int64_t dayEnd = 0;
    std::vector<Interval> intervals;
    EnergyTotals totals;
    // Its first snapshot within 5 minutes of its start, its last within 5 minutes of its end,
    // and no gap longer than 15 minutes.
    bool complete = false;
    // How many intervals (or parts of one) fall in the day; kept when `intervals` is left out.
    std::size_t intervalCount = 0;
    bool hasHistory() const { return !intervals.empty() || intervalCount > 0; }
};

// One month: a DayEnergy for each day that has history (intervals left out), and the sums.
struct MonthEnergy {
    int year = 0;
    int month = 0;
    std::vector<DayEnergy> days;
    EnergyTotals totals;
    // Every day of the month up to today is complete.
    bool complete = false;
};

} // namespace quorvane::history
