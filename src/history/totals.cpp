#include "history/totals.h"

#include "history/localdays.h"

#include <algorithm>

namespace quorvane::history {

namespace {

// The rise of a counter; a counter that fell (reset or replaced) counts nothing.
double rise(double from, double to) {
    return to >= from ? to - from : 0.0;
}

void add(EnergyTotals& totals, const Interval& part) {
    totals.produced += part.produced;
    totals.consumed += part.consumed;
    totals.imported += part.imported;
    totals.exported += part.exported;
}

bool isComplete(const std::vector<Snapshot>& snapshots, const DayEnergy& day) {
    const auto begin = std::lower_bound(
        snapshots.begin(), snapshots.end(), day.dayStart,
        [](const Snapshot& snapshot, std::int64_t when) { return snapshot.timestamp < when; });
    const auto end = std::lower_bound(
        begin, snapshots.end(), day.dayEnd,
        [](const Snapshot& snapshot, std::int64_t when) { return snapshot.timestamp < when; });
    if (begin == end || begin->timestamp - day.dayStart > kCompleteDayEdge ||
        day.dayEnd - std::prev(end)->timestamp > kCompleteDayEdge) {
        return false;
    }
    for (auto snapshot = std::next(begin); snapshot != end; ++snapshot) {
        if (snapshot->timestamp - std::prev(snapshot)->timestamp > kCompleteDayGap) {
            return false;
        }
    }
    return true;
}

} // namespace

Interval intervalBetween(const Snapshot& earlier, const Snapshot& later, SecondMeter meter) {
    Interval interval{earlier.timestamp, later.timestamp, 0, 0, 0, 0};
    interval.produced = rise(earlier.productionDelivered, later.productionDelivered);
    const double secondDelivered = rise(earlier.secondDelivered, later.secondDelivered);
    if (meter == SecondMeter::TotalConsumption) {
        interval.consumed = secondDelivered;
        const double grid = interval.consumed - interval.produced;
        interval.imported = std::max(grid, 0.0);
        interval.exported = std::max(-grid, 0.0);
    } else {
        interval.imported = secondDelivered;
        interval.exported = rise(earlier.secondReceived, later.secondReceived);
        const double inverters = rise(earlier.productionReceived, later.productionReceived);
        interval.consumed = std::max(
            interval.produced - inverters + interval.imported - interval.exported, 0.0);
    }
    return interval;
}

std::vector<DayEnergy> energyOfDays(const std::vector<Snapshot>& snapshots,
                                    const LocalDate& first, const LocalDate& last,
                                    SecondMeter meter) {
    std::vector<DayEnergy> days;
    if (first > last) {
        return days;
    }
    std::int64_t start = localDayStart(first);
    for (LocalDate date = first;; date = nextDay(date)) {
        DayEnergy day;
        day.date = date;
        day.dayStart = start;
        day.dayEnd = localDayStart(nextDay(date));
        start = day.dayEnd;
        days.push_back(std::move(day));
        if (date == last) {
            break;
        }
    }
    const std::int64_t spanStart = days.front().dayStart;
    const std::int64_t spanEnd = days.back().dayEnd;
    // The first pair that reaches into the span: its earlier snapshot is the last one at or
    // before the span's start.
    auto later = std::upper_bound(
        snapshots.begin(), snapshots.end(), spanStart,
        [](std::int64_t when, const Snapshot& snapshot) { return when < snapshot.timestamp; });
    if (later == snapshots.begin() && later != snapshots.end()) {
        ++later;
    }
    std::size_t dayIndex = 0;
    for (; later != snapshots.end(); ++later) {
        const Snapshot& earlier = *std::prev(later);
        if (earlier.timestamp >= spanEnd) {
            break;
        }
        if (later->timestamp <= earlier.timestamp) {
            continue;
        }
        const Interval whole = intervalBetween(earlier, *later, meter);
        const auto length = static_cast<double>(whole.end - whole.start);
        while (dayIndex < days.size() && days[dayIndex].dayEnd <= whole.start) {
            ++dayIndex;
        }
        for (std::size_t index = dayIndex; index < days.size(); ++index) {
            DayEnergy& day = days[index];
            if (day.dayStart >= whole.end) {
                break;
            }
            Interval part{std::max(whole.start, day.dayStart), std::min(whole.end, day.dayEnd),
                          0, 0, 0, 0};
            if (part.end <= part.start) {
                continue;
            }
            const double share = static_cast<double>(part.end - part.start) / length;
            if (share >= 1.0) {
                part = whole;
            } else {
                part.produced = whole.produced * share;
                part.consumed = whole.consumed * share;
                part.imported = whole.imported * share;
                part.exported = whole.exported * share;
            }
            add(day.totals, part);
            day.intervals.push_back(part);
        }
    }
    for (DayEnergy& day : days) {
        day.intervalCount = day.intervals.size();
        day.complete = isComplete(snapshots, day);
    }
    return days;
}

DayEnergy dayEnergy(const HistoryStore& store, const LocalDate& date, SecondMeter meter) {
    return energyOfDays(store.snapshotsAround(date, date), date, date, meter).front();
}

MonthEnergy monthEnergy(const HistoryStore& store, int year, int month, SecondMeter meter,
                        const LocalDate& today) {
    MonthEnergy result;
    result.year = year;
    result.month = month;
    const LocalDate first{year, month, 1};
    const LocalDate last{year, month, daysInMonth(year, month)};
    auto days = energyOfDays(store.snapshotsAround(first, last), first, last, meter);
    bool everyDayComplete = true;
    for (DayEnergy& day : days) {
        if (day.date <= today) {
            everyDayComplete = everyDayComplete && day.complete;
        }
        if (day.hasHistory()) {
            add(result.totals, {0, 0, day.totals.produced, day.totals.consumed,
                                day.totals.imported, day.totals.exported});
            day.intervals.clear();
            day.intervals.shrink_to_fit();
            result.days.push_back(std::move(day));
        }
    }
    result.complete = !result.days.empty() && everyDayComplete;
    return result;
}

} // namespace quorvane::history
