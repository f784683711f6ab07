#pragma once

#include "history/energy.h"
#include "history/historystore.h"
#include "history/snapshot.h"

#include <cstdint>
#include <vector>

namespace quorvane::history {

// How close to its start and end a day's first and last snapshot must be, and the longest gap
// between its snapshots, for the day to be complete (seconds).
inline constexpr std::int64_t kCompleteDayEdge = 5 * 60;
inline constexpr std::int64_t kCompleteDayGap = 15 * 60;

// The energy between two consecutive snapshots (`later` after `earlier`). A counter that fell
// counts nothing. The second meter's counters give imported and exported (NetConsumption), or
// consumed, with the grid balance consumed - produced as imported where positive and exported
// where negative (TotalConsumption). NetConsumption's consumed, produced - production received
// + imported - exported, is taken as 0 where a fallen counter or meters read apart would make
// it negative.
Interval intervalBetween(const Snapshot& earlier, const Snapshot& later, SecondMeter meter);

// The local days `first` to `last` (each one, with or without history) from snapshots in time
// order with each timestamp once: each day's intervals cut at its local midnights, an interval
// across midnight shared in proportion to time, and its totals and completeness.
std::vector<DayEnergy> energyOfDays(const std::vector<Snapshot>& snapshots,
                                    const LocalDate& first, const LocalDate& last,
                                    SecondMeter meter);

// The local day `date` from the history.
DayEnergy dayEnergy(const HistoryStore& store, const LocalDate& date, SecondMeter meter);

// The month from the history: the days with history (intervals left out), the sums, and
// complete when every day from the 1st to `today` (or the month's end, if earlier) is complete.
MonthEnergy monthEnergy(const HistoryStore& store, int year, int month, SecondMeter meter,
                        const LocalDate& today);

} // namespace quorvane::history
