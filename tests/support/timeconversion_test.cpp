#include "support/timeconversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "common/testdoubles.h"
#include "support/errorlog.h"
#include "support/supporttest.h"

namespace quorvane::support {
namespace {

using testing::failureNumberOf;

struct BiasRow {
    const char* name;
    ZoneInformation zone;
    const char* decimal;
    std::optional<std::int32_t> seconds;
    const char* zoneText;
};

TEST(GetTimeZoneBias, FollowsTheReturnCodeTable) {
    const std::vector<BiasRow> rows = {
        {"standard time east of Greenwich", {1, -60}, ".", 3600, "1"},
        {"daylight time is one hour more", {2, -60}, ".", 7200, "2"},
        {"daylight time west of Greenwich", {2, 300}, ".", -14400, "-4"},
        {"half-hour zone", {1, -330}, ".", 19800, "5.5"},
        {"half-hour zone, comma locale", {1, -330}, ",", 19800, "5,5"},
        {"zone without daylight saving", {0, -330}, ".", 19800, "5.5"},
        {"zone without daylight saving at UTC", {0, 0}, ".", 0, "0"},
        {"unknown return code", {7, -60}, ".", std::nullopt, ""},
        {"platform failure", {0xFFFFFFFFu, -60}, ".", std::nullopt, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testing::FixedLocale locale;
        locale.decimal = row.decimal;
        const auto bias = GetTimeZoneBias(row.zone, locale);
        ASSERT_EQ(bias.has_value(), row.seconds.has_value());
        if (bias) {
            EXPECT_EQ(bias->seconds, *row.seconds);
            EXPECT_EQ(bias->zoneText, row.zoneText);
        }
    }
}

TEST(GetTimeZoneBias, OverflowsBeyondThirtyTwoBits) {
    testing::FixedLocale locale;
    const std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(failureNumberOf([&] { GetTimeZoneBias({1, lowest}, locale); }), errors::kOverflow);
    EXPECT_EQ(failureNumberOf([&] { GetTimeZoneBias({2, 40000000}, locale); }),
              errors::kOverflow);
}

// A real error log in a fresh folder at 19:22:58.
class Epoch2DateTest : public ::testing::Test {
protected:
    std::string logText() const { return testing::readFileBytes(log.path()); }

    testing::TempDir folder;
    testing::ManualClock clock;
    testing::FixedLocale locale;
    ErrorLog log{clock, locale, folder.path()};
};

struct EpochRow {
    const char* name;
    Epoch e;
    std::int32_t bias;
    CalendarTime expected;
    Epoch msFrac;
};

constexpr Epoch seconds(std::int64_t value) { return value * kEpochScale; }

TEST_F(Epoch2DateTest, TurnsUnixTimeIntoLocalDateTime) {
    const std::vector<EpochRow> rows = {
        {"seconds one hour east", seconds(1740248578), 3600, {2025, 2, 22, 19, 22, 58}, 0},
        {"seconds at UTC", seconds(1740248578), 0, {2025, 2, 22, 18, 22, 58}, 0},
        {"seconds west of UTC", seconds(1740248578), -14400, {2025, 2, 22, 14, 22, 58}, 0},
        {"milliseconds", seconds(1740248578123), 0, {2025, 2, 22, 18, 22, 58}, 1230},
        {"milliseconds tie to even stays", 17402485781230500, 0, {2025, 2, 22, 18, 22, 58},
         1230},
        {"milliseconds tie to even goes up", 17402485781231500, 0, {2025, 2, 22, 18, 22, 58},
         1232},
        {"exactly ten billion is seconds", seconds(10000000000), 0, {2286, 11, 20, 17, 46, 40},
         0},
        {"ten billion seconds with offset", seconds(10000000000), 3600,
         {2286, 11, 20, 18, 46, 40}, 0},
        {"one above ten billion is milliseconds", seconds(10000000001), 0,
         {1970, 4, 26, 17, 46, 40}, 10},
        {"the epoch", 0, 0, {1970, 1, 1, 0, 0, 0}, 0},
        {"before 30 December 1899", seconds(-2209226400), 0, {1899, 12, 29, 6, 0, 0}, 0},
        {"first representable second", seconds(-59011459200), 0, {100, 1, 1, 0, 0, 0}, 0},
        {"last representable second", seconds(253402300799000), 0, {9999, 12, 31, 23, 59, 59},
         0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Epoch msFrac = 999;
        const DateTime value = Epoch2Date(row.e, row.bias, log, &msFrac);
        EXPECT_EQ(toCalendar(value), row.expected);
        EXPECT_EQ(msFrac, row.msFrac);
    }
    EXPECT_FALSE(std::filesystem::exists(log.path()));
}

TEST_F(Epoch2DateTest, DateBeforeTheYearOneHundredLogsOnceAndGivesTheZeroDate) {
    const DateTime value = Epoch2Date(seconds(-99999999999), 0, log);
    EXPECT_EQ(value, 0.0);
    EXPECT_EQ(logText(),
              " Time: 19:22:58 Error #  6,  Overflow\r\n In  .Epoch2Date at line - 2975\r\n");
}

TEST_F(Epoch2DateTest, DatesJustOutsideTheRangeFailAtTheLastStep) {
    const std::vector<std::pair<const char*, Epoch>> rows = {
        {"one second before 1 January 100", seconds(-59011459201)},
        {"first second of the year 10000", seconds(253402300800000)},
        {"largest epoch value", std::numeric_limits<Epoch>::max()},
    };
    for (const auto& [name, e] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Epoch2Date(e, 0, log), 0.0);
    }
    const std::string entry =
        " Time: 19:22:58 Error #  6,  Overflow\r\n In  .Epoch2Date at line - 2975\r\n";
    EXPECT_EQ(logText(), entry + entry + entry);
}

TEST_F(Epoch2DateTest, SecondFailureInOneCallPassesToTheCaller) {
    // The offset overflows the smallest epoch (logged), then the date is out of range.
    const Epoch lowest = std::numeric_limits<Epoch>::min();
    EXPECT_EQ(failureNumberOf([&] { Epoch2Date(lowest, -3600, log); }), errors::kOverflow);
    EXPECT_EQ(logText(),
              " Time: 19:22:58 Error #  6,  Overflow\r\n In  .Epoch2Date at line - 2955\r\n");
}

TEST_F(Epoch2DateTest, LogThatCannotBeWrittenPassesItsFailureToTheCaller) {
    testing::writeFileBytes(folder / "not-a-folder", "x");
    ErrorLog blocked(clock, locale, folder / "not-a-folder");
    EXPECT_EQ(failureNumberOf([&] { Epoch2Date(seconds(-99999999999), 0, blocked); }),
              errors::kPathNotFound);
}

struct CalendarRow {
    const char* name;
    DateTime value;
    CalendarTime time;
};

TEST(CalendarConversion, DaysSinceDecember1899ToDateAndTime) {
    const std::vector<CalendarRow> rows = {
        {"zero date", 0.0, {1899, 12, 30, 0, 0, 0}},
        {"unix epoch", 25569.0, {1970, 1, 1, 0, 0, 0}},
        {"noon", 2.5, {1900, 1, 1, 12, 0, 0}},
        {"negative day counts its fraction forwards", -1.25, {1899, 12, 29, 6, 0, 0}},
        {"whole negative day", -1.0, {1899, 12, 29, 0, 0, 0}},
        {"1900 has no 29 February", 61.0, {1900, 3, 1, 0, 0, 0}},
        {"leap day", 36585.0, {2000, 2, 29, 0, 0, 0}},
        {"first day", -657434.0, {100, 1, 1, 0, 0, 0}},
        {"last day", 2958465.0, {9999, 12, 31, 0, 0, 0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(toCalendar(row.value), row.time);
        EXPECT_EQ(fromCalendar(row.time), row.value);
    }
}

TEST(CalendarConversion, RoundsToTheNearestSecond) {
    const double second = 1.0 / 86400.0;
    EXPECT_EQ(toCalendar(25569.0 + 0.4 * second), (CalendarTime{1970, 1, 1, 0, 0, 0}));
    EXPECT_EQ(toCalendar(25569.0 + 0.6 * second), (CalendarTime{1970, 1, 1, 0, 0, 1}));
    EXPECT_EQ(toCalendar(25570.0 - 0.4 * second), (CalendarTime{1970, 1, 2, 0, 0, 0}));
    EXPECT_EQ(toCalendar(-1.0 - 0.6 * second), (CalendarTime{1899, 12, 29, 0, 0, 1}));
    EXPECT_EQ(toCalendar(std::nan("")), CalendarTime{});
}

TEST(CalendarConversion, EveryDateAndTimeSurvivesTheRoundTrip) {
    for (int year = 100; year <= 9999; year += 37) {
        for (int month = 1; month <= 12; month += 5) {
            for (int day : {1, 15, 28}) {
                const CalendarTime time{year, month, day, (year + day) % 24, month * 4,
                                        (year * 7) % 60};
                SCOPED_TRACE(std::to_string(year) + "-" + std::to_string(month) + "-" +
                             std::to_string(day));
                ASSERT_EQ(toCalendar(fromCalendar(time)), time);
            }
        }
    }
}

} // namespace
} // namespace quorvane::support
