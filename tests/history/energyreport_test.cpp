#include "history/energyreport.h"
#include "history/historystore.h"
#include "history/localdays.h"
#include "historytest.h"

#include <gtest/gtest.h>

namespace quorvane::history {
namespace {

constexpr LocalDate kToday{2026, 6, 21};

struct ArgumentRow {
    const char* argument;
    std::optional<EnergyRequest> expected;
};

TEST(EnergyArgument, IsADayOrAMonthOfTheCalendar) {
    const ArgumentRow rows[] = {
        {"2026-06-21", EnergyRequest{{2026, 6, 21}, false}},
        {"2024-02-29", EnergyRequest{{2024, 2, 29}, false}},
        {"2026-12", EnergyRequest{{2026, 12, 1}, true}},
        {"2026-02-30", std::nullopt},
        {"2025-02-29", std::nullopt},
        {"2026-04-31", std::nullopt},
        {"2026-13", std::nullopt},
        {"2026-00", std::nullopt},
        {"2026-06-00", std::nullopt},
        {"2026-6-21", std::nullopt},
        {"2026-06-1", std::nullopt},
        {"2026-06-21x", std::nullopt},
        {"26-06-21", std::nullopt},
        {"2026/06/21", std::nullopt},
        {"2026-+6-21", std::nullopt},
        {"2026-06-", std::nullopt},
        {"2026", std::nullopt},
        {"", std::nullopt},
        {"today", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.argument);
        EXPECT_EQ(parseEnergyArgument(std::string_view(row.argument), kToday), row.expected);
    }
    EXPECT_EQ(parseEnergyArgument(std::nullopt, kToday), (EnergyRequest{kToday, false}));
}

TEST(EnergyReport, WritesWholeWattHoursRoundedHalfAwayFromZero) {
    DayEnergy day;
    day.date = {2026, 6, 21};
    day.intervals.resize(1);
    day.totals = {41872.5, 18253.4999, 0.5, 1234567.5};
    day.complete = true;
    EXPECT_EQ(energyReport(day), "date,produced_wh,consumed_wh,imported_wh,exported_wh,complete\n"
                                 "2026-06-21,41873,18253,1,1234568,yes\n");
    day.totals = {2.5, 0.49, 1e7, 0};
    day.complete = false;
    EXPECT_EQ(energyReport(day), "date,produced_wh,consumed_wh,imported_wh,exported_wh,complete\n"
                                 "2026-06-21,3,0,10000000,0,no\n");
    EXPECT_EQ(energyReport(DayEnergy{}), kEnergyReportHeader);
}

TEST(EnergyReport, AMonthHasALineForEachDayWithHistoryAndOneForItsSums) {
    MonthEnergy month;
    month.year = 2026;
    month.month = 12;
    EXPECT_EQ(energyReport(month), kEnergyReportHeader);
    for (const int day : {1, 31}) {
        DayEnergy energy;
        energy.date = {2026, 12, day};
        energy.intervalCount = 3;
        energy.totals = {100.4, 50.4, 10.4, 60.4};
        energy.complete = day == 1;
        month.days.push_back(energy);
    }
    // The month's sums are of the days' exact energies, so they match the counters.
    month.totals = {200.8, 100.8, 20.8, 120.8};
    EXPECT_EQ(energyReport(month),
              "date,produced_wh,consumed_wh,imported_wh,exported_wh,complete\n"
              "2026-12-01,100,50,10,60,yes\n"
              "2026-12-31,100,50,10,60,no\n"
              "2026-12,201,101,21,121,no\n");
}

TEST(EnergyCommand, PrintsTheHistoryOrExplainsAMalformedArgument) {
    testing::HistoryFolder folder;
    const HistoryStore store(folder.path());
    const LocalDate day{2026, 6, 21};
    const std::int64_t start = localDayStart(day);
    const std::int64_t end = localDayStart(nextDay(day));
    for (std::int64_t t = start - 120; t <= end + 120; t += 240) {
        const double hours = static_cast<double>(t - start) / 3600;
        ASSERT_FALSE(store.append({t, 1000 + 1500 * hours, 3, 700 + 400 * hours,
                                   200 + 900 * hours}));
    }
    const double hours = static_cast<double>(end - start) / 3600;
    const auto wh = [](double value) { return std::to_string(std::llround(value)); };
    std::string out;
    std::string err;
    EXPECT_EQ(energyCommand(folder.path(), "2026-06-21", SecondMeter::NetConsumption, out, err),
              0);
    EXPECT_EQ(out, std::string(kEnergyReportHeader) + "2026-06-21," + wh(1500 * hours) + "," +
                       wh(1000 * hours) + "," + wh(400 * hours) + "," + wh(900 * hours) +
                       ",yes\n");
    EXPECT_EQ(err, "");

    EXPECT_EQ(energyCommand(folder.path(), "2026-05", SecondMeter::NetConsumption, out, err), 0);
    EXPECT_EQ(out, kEnergyReportHeader);

    out.clear();
    EXPECT_EQ(energyCommand(folder.path(), "2026-02-30", SecondMeter::NetConsumption, out, err),
              2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "--energy takes a day as YYYY-MM-DD or a month as YYYY-MM, not \"2026-02-30\"\n");
}

} // namespace
} // namespace quorvane::history
