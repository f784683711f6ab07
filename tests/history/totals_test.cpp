#include "history/localdays.h"
#include "history/totals.h"
#include "historytest.h"

#include <gtest/gtest.h>
#include <map>

namespace quorvane::history {
namespace {

constexpr LocalDate kDay{2026, 6, 21};
constexpr std::int64_t kHour = 3600;

struct IntervalRow {
    const char* name;
    SecondMeter meter;
    Snapshot earlier;
    Snapshot later;
    EnergyTotals expected;
};

TEST(IntervalBetween, TakesEachCounterRiseAndTheMetersMeaning) {
    using enum SecondMeter;
    const IntervalRow rows[] = {
        {"net: exporting at noon", NetConsumption, {0, 1000, 10, 500, 200},
         {60, 1100, 10, 500, 260}, {100, 40, 0, 60}},
        {"net: importing with the inverters drawing at night", NetConsumption,
         {0, 1000, 10, 500, 200}, {60, 1000, 12, 530, 200}, {0, 28, 30, 0}},
        {"net: a production counter that fell counts nothing", NetConsumption,
         {0, 1000, 10, 500, 200}, {60, 3, 10, 520, 200}, {0, 20, 20, 0}},
        {"net: fallen counters never give negative consumption", NetConsumption,
         {0, 1000, 10, 500, 200}, {60, 900, 10, 400, 250}, {0, 0, 0, 50}},
        {"total: consumption above production imports the rest", TotalConsumption,
         {0, 1000, 10, 500, 3}, {60, 1040, 11, 600, 9}, {40, 100, 60, 0}},
        {"total: production above consumption exports the rest", TotalConsumption,
         {0, 1000, 10, 500, 3}, {60, 1100, 10, 530, 3}, {100, 30, 0, 70}},
        {"total: a consumption counter that fell counts nothing", TotalConsumption,
         {0, 1000, 10, 500, 3}, {60, 1010, 10, 2, 3}, {10, 0, 0, 10}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Interval interval = intervalBetween(row.earlier, row.later, row.meter);
        EXPECT_DOUBLE_EQ(interval.produced, row.expected.produced);
        EXPECT_DOUBLE_EQ(interval.consumed, row.expected.consumed);
        EXPECT_DOUBLE_EQ(interval.imported, row.expected.imported);
        EXPECT_DOUBLE_EQ(interval.exported, row.expected.exported);
    }
}

// Writes the snapshots into the day files at once (appending each would sync each).
void writeHistory(const HistoryStore& store, const std::vector<Snapshot>& snapshots) {
    std::map<LocalDate, std::string> files;
    for (const auto& snapshot : snapshots) {
        files[*localDateOf(snapshot.timestamp)] += snapshotLine(snapshot);
    }
    for (const auto& [date, lines] : files) {
        testing::writeFile(store.fileFor(date), std::string(kSnapshotHeader) + "\n" + lines);
    }
}

// Snapshots every `step` seconds from `from` to `to`, production rising by `watts` and the
// grid import by 100 W.
std::vector<Snapshot> steady(std::int64_t from, std::int64_t to, std::int64_t step,
                             double watts) {
    std::vector<Snapshot> snapshots;
    for (std::int64_t t = from; t <= to; t += step) {
        const double hours = static_cast<double>(t - from) / kHour;
        snapshots.push_back({t, 5000 + watts * hours, 7, 900 + 100 * hours, 40});
    }
    return snapshots;
}

TEST(EnergyOfDays, AGapAcrossMidnightIsSharedInProportionToTime) {
    const std::int64_t midnight = localDayStart(nextDay(kDay));
    // The program ran until 23:00 and again from 02:00: the gap's 3,000 Wh is 1/3 and 2/3.
    const std::vector<Snapshot> snapshots{{midnight - 2 * kHour, 0, 0, 0, 0},
                                          {midnight - kHour, 1000, 0, 0, 0},
                                          {midnight + 2 * kHour, 4000, 0, 0, 0},
                                          {midnight + 3 * kHour, 4500, 0, 0, 0}};
    const auto days =
        energyOfDays(snapshots, kDay, nextDay(kDay), SecondMeter::NetConsumption);
    ASSERT_EQ(days.size(), 2u);
    EXPECT_DOUBLE_EQ(days[0].totals.produced, 2000);
    EXPECT_DOUBLE_EQ(days[1].totals.produced, 2500);
    ASSERT_EQ(days[0].intervals.size(), 2u);
    EXPECT_EQ(days[0].intervals[1].start, midnight - kHour);
    EXPECT_EQ(days[0].intervals[1].end, midnight);
    ASSERT_EQ(days[1].intervals.size(), 2u);
    EXPECT_EQ(days[1].intervals[0].start, midnight);
    EXPECT_DOUBLE_EQ(days[1].intervals[0].produced, 2000);
    EXPECT_FALSE(days[0].complete);
    EXPECT_FALSE(days[1].complete);
}

TEST(EnergyOfDays, ADayWithoutSnapshotsInsideALongGapGetsItsShare) {
    const std::int64_t start = localDayStart(kDay);
    const LocalDate third{2026, 6, 23};
    const std::vector<Snapshot> snapshots{{start + 12 * kHour, 0, 0, 0, 0},
                                          {localDayStart(third) + 12 * kHour, 4800, 0, 0, 0}};
    const auto days = energyOfDays(snapshots, kDay, third, SecondMeter::NetConsumption);
    ASSERT_EQ(days.size(), 3u);
    EXPECT_DOUBLE_EQ(days[0].totals.produced, 1200);
    EXPECT_DOUBLE_EQ(days[1].totals.produced, 2400);
    EXPECT_DOUBLE_EQ(days[2].totals.produced, 1200);
    EXPECT_TRUE(days[1].hasHistory());
}

struct CompleteRow {
    const char* name;
    std::int64_t firstAfterStart;
    std::int64_t lastBeforeEnd;
    std::int64_t gap; // one gap of this length at noon; 60 s otherwise
    bool complete;
};

TEST(EnergyOfDays, ADayIsCompleteWhenItsSnapshotsCoverIt) {
    const CompleteRow rows[] = {
        {"every minute", 0, 60, 60, true},
        {"first 5 minutes late", 300, 60, 60, true},
        {"first 5 minutes and a second late", 301, 60, 60, false},
        {"last 5 minutes early", 0, 300, 60, true},
        {"last 5 minutes and a second early", 0, 301, 60, false},
        {"a gap of 15 minutes", 0, 60, 900, true},
        {"a gap of 15 minutes and a second", 0, 60, 901, false},
    };
    const std::int64_t start = localDayStart(kDay);
    const std::int64_t end = localDayStart(nextDay(kDay));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<Snapshot> snapshots{{start - 30, 0, 0, 0, 0}};
        std::int64_t t = start + row.firstAfterStart;
        for (; t < start + 12 * kHour; t += 60) {
            snapshots.push_back({t, 0, 0, 0, 0});
        }
        for (t += row.gap - 60; t <= end - row.lastBeforeEnd; t += 60) {
            snapshots.push_back({t, 0, 0, 0, 0});
        }
        snapshots.push_back({end - row.lastBeforeEnd, 0, 0, 0, 0});
        snapshots.push_back({end + 30, 0, 0, 0, 0});
        snapshots.erase(std::unique(snapshots.begin(), snapshots.end(),
                                    [](auto& a, auto& b) { return a.timestamp == b.timestamp; }),
                        snapshots.end());
        const auto days = energyOfDays(snapshots, kDay, kDay, SecondMeter::NetConsumption);
        EXPECT_EQ(days.front().complete, row.complete);
    }
}

struct ZoneDayRow {
    const char* tz;
    LocalDate date;
    int hours;
};

// The day's length and a steady 1 kW over it, a snapshot a minute, in the zone now in force.
void expectDayOfZone(const ZoneDayRow& row) {
    const std::int64_t start = localDayStart(row.date);
    const std::int64_t end = localDayStart(nextDay(row.date));
    EXPECT_EQ(end - start, row.hours * kHour);
    EXPECT_EQ(localDateOf(start), row.date);
    EXPECT_EQ(localDateOf(start - 1), previousDay(row.date));
    const auto snapshots = steady(start - kHour, end + kHour, 60, 1000);
    const DayEnergy day =
        energyOfDays(snapshots, row.date, row.date, SecondMeter::NetConsumption).front();
    EXPECT_NEAR(day.totals.produced, 1000.0 * row.hours, 1e-6);
    EXPECT_NEAR(day.totals.imported, 100.0 * row.hours, 1e-6);
    EXPECT_EQ(day.dayStart, start);
    EXPECT_EQ(day.intervals.front().start, start);
    EXPECT_EQ(day.intervals.back().end, end);
    EXPECT_TRUE(day.complete);
}

#ifndef _WIN32
// Daylight-saving days in both hemispheres and an ordinary day next to each.
TEST(EnergyOfDays, ADaylightSavingDayHasItsOwnLengthAndStillAddsUp) {
    const ZoneDayRow rows[] = {
        {"Europe/Berlin", {2026, 3, 29}, 23},    {"Europe/Berlin", {2026, 3, 30}, 24},
        {"Europe/Berlin", {2026, 10, 25}, 25},   {"Australia/Sydney", {2026, 4, 5}, 25},
        {"Australia/Sydney", {2026, 10, 4}, 23}, {"Australia/Sydney", {2026, 10, 3}, 24},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.tz) + " " + formatDate(row.date));
        if (!std::filesystem::exists(std::filesystem::path("/usr/share/zoneinfo") / row.tz)) {
            GTEST_SKIP() << "no zone database";
        }
        testing::ScopedTimeZone zone(row.tz);
        expectDayOfZone(row);
    }
}

TEST(LocalDays, ADayWhoseMidnightIsSkippedStartsAtItsFirstSecond) {
    // Santiago de Chile springs forward at midnight: 2026-09-06 starts at 01:00.
    if (!std::filesystem::exists("/usr/share/zoneinfo/America/Santiago")) {
        GTEST_SKIP() << "no zone database";
    }
    testing::ScopedTimeZone zone("America/Santiago");
    const LocalDate date{2026, 9, 6};
    const std::int64_t start = localDayStart(date);
    EXPECT_EQ(localDateOf(start), date);
    EXPECT_EQ(localDateOf(start - 1), previousDay(date));
    EXPECT_EQ(localDayStart(nextDay(date)) - start, 23 * kHour);
}
#else
// Windows takes the zone from the system; under Wine that is the TZ the test was started with.
TEST(EnergyOfDays, ADaylightSavingDayOfTheSystemZoneHasItsOwnLength) {
    const ZoneDayRow rows[] = {
        {"Europe/Amsterdam", {2026, 3, 29}, 23}, {"Europe/Amsterdam", {2026, 10, 25}, 25},
        {"Asia/Kolkata", {2026, 3, 29}, 24},     {"UTC", {2026, 10, 25}, 24},
    };
    const char* tz = std::getenv("TZ");
    bool known = false;
    for (const auto& row : rows) {
        if (tz != nullptr && std::string(tz) == row.tz) {
            SCOPED_TRACE(formatDate(row.date));
            expectDayOfZone(row);
            known = true;
        }
    }
    if (!known) {
        GTEST_SKIP() << "TZ names none of the zones this test knows";
    }
}
#endif

TEST(MonthEnergy, SumsTheDaysWithHistoryAndIsCompleteOnlyWhenEveryDayIs) {
    testing::HistoryFolder folder;
    const HistoryStore store(folder.path());
    // June 2026: snapshots every 5 minutes from the 10th to the 12th, and one late on the 20th.
    const std::int64_t from = localDayStart({2026, 6, 10});
    const std::int64_t to = localDayStart({2026, 6, 13});
    writeHistory(store, steady(from, to, 300, 600));
    ASSERT_FALSE(store.append({localDayStart({2026, 6, 20}) + 23 * kHour,
                               5000 + 600 * 72 + 600, 7, 900 + 100 * 72, 40}));
    const MonthEnergy month =
        monthEnergy(store, 2026, 6, SecondMeter::NetConsumption, {2026, 6, 30});
    ASSERT_EQ(month.days.size(), 11u); // the 10th to the 20th: the 13th to the 20th share a gap
    EXPECT_EQ(month.days.front().date, (LocalDate{2026, 6, 10}));
    EXPECT_TRUE(month.days.front().complete);
    EXPECT_TRUE(month.days.front().hasHistory());
    EXPECT_TRUE(month.days.front().intervals.empty());
    EXPECT_NEAR(month.days.front().totals.produced, 600 * 24, 1e-6);
    EXPECT_NEAR(month.totals.produced, 600 * 72 + 600, 1e-6);
    EXPECT_NEAR(month.totals.imported, 100 * 72, 1e-6);
    EXPECT_FALSE(month.complete);

    const DayEnergy day = dayEnergy(store, {2026, 6, 11}, SecondMeter::NetConsumption);
    EXPECT_EQ(day.intervals.size(), 288u);
    EXPECT_NEAR(day.totals.produced, 600 * 24, 1e-6);
    EXPECT_TRUE(day.complete);
}

TEST(MonthEnergy, AMonthOfCompleteDaysUpToTodayIsComplete) {
    testing::HistoryFolder folder;
    const HistoryStore store(folder.path());
    const std::int64_t from = localDayStart({2026, 5, 31}) + 23 * kHour;
    const std::int64_t to = localDayStart({2026, 6, 3}) + 12 * kHour;
    writeHistory(store, steady(from, to, 300, 600));
    const auto complete = [&store](const LocalDate& today) {
        return monthEnergy(store, 2026, 6, SecondMeter::NetConsumption, today).complete;
    };
    EXPECT_TRUE(complete({2026, 6, 2}));
    EXPECT_FALSE(complete({2026, 6, 3})); // today is not over
    EXPECT_FALSE(complete({2026, 7, 1}));
    EXPECT_FALSE(monthEnergy(store, 2026, 7, SecondMeter::NetConsumption, {2026, 7, 1}).complete);
}

} // namespace
} // namespace quorvane::history
