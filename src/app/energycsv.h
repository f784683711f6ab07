#pragma once

#include "history/energy.h"

#include <QString>

// The energy window's CSV exports: plain ASCII lines ending in "\n", energies in whole watt-hours
// rounded half away from zero, with no grouping, in every locale.
namespace quorvane::app {

// The day's intervals: "start,end,produced_wh,consumed_wh,imported_wh,exported_wh", then one
// line an interval with its start and end as local ISO 8601 times with their UTC offset
// ("2026-03-29T01:59:00+01:00"), so that the hour a fall-back day repeats stays apart.
QString dayCsv(const history::DayEnergy& day);

// The month as `--energy` prints it: "date,produced_wh,consumed_wh,imported_wh,exported_wh,
// complete", a line for each day with history ("2026-06-21,41873,18254,3120,26739,yes"), then
// the month's sums ("2026-06,...", complete "yes" or "no"); the header alone for a month without
// history.
QString monthCsv(const history::MonthEnergy& month);

} // namespace quorvane::app
