#include "support/clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/testdoubles.h"
#include "support/timeconversion.h"

#ifndef _WIN32
#include "common/scopedtimezone_posix.h"
#endif

namespace quorvane::support {
namespace {

struct ZoneRow {
    const char* name;
    // A zone name from the zone database, or a rule that needs none.
    const char* tz;
    bool needsZoneDatabase;
    bool daylightRules;
    std::int32_t bias;
};

const std::vector<ZoneRow> kZones = {
    {"UTC", "UTC", true, false, 0},
    {"India, no daylight saving", "Asia/Kolkata", true, false, -330},
    {"Netherlands", "Europe/Amsterdam", true, true, -60},
    {"New York, west of Greenwich", "America/New_York", true, true, 300},
    {"Sydney, daylight time in January", "Australia/Sydney", true, true, -600},
    {"rule without daylight saving", "XST-5:30", false, false, -330},
    {"rule with daylight saving", "CET-1CEST,M3.5.0,M10.5.0/3", false, true, -60},
};

void expectZoneOfRow(const ZoneInformation& zone, const ZoneRow& row) {
    if (row.daylightRules) {
        EXPECT_TRUE(zone.returnCode == 1 || zone.returnCode == 2) << zone.returnCode;
    } else {
        EXPECT_EQ(zone.returnCode, 0u);
    }
    EXPECT_EQ(zone.bias, row.bias);
}

#ifndef _WIN32
using testing::ScopedTimeZone;

bool zoneDatabaseHas(const char* tz) {
    return std::filesystem::exists(std::filesystem::path("/usr/share/zoneinfo") / tz);
}

// The offset now in force, worked out by the C library on its own.
long offsetNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<long>(timegm(&local) - now);
}

TEST(SystemZoneSource, ReportsTheZoneInTheFormOfTheWindowsCall) {
    testing::FixedLocale locale;
    int checked = 0;
    for (const auto& row : kZones) {
        SCOPED_TRACE(row.name);
        if (row.needsZoneDatabase && !zoneDatabaseHas(row.tz)) {
            continue;
        }
        ScopedTimeZone zone(row.tz);
        const ZoneInformation information = SystemZoneSource().zoneInformation();
        expectZoneOfRow(information, row);
        const auto bias = GetTimeZoneBias(information, locale);
        ASSERT_TRUE(bias.has_value());
        EXPECT_EQ(bias->seconds, offsetNow());
        ++checked;
    }
    if (checked < static_cast<int>(kZones.size())) {
        GTEST_SKIP() << "the zone database lacks " << kZones.size() - checked << " zones";
    }
}

TEST(SystemClock, LocalNowIsTheCurrentTimeInTheLocalZone) {
    const std::vector<std::pair<const char*, long>> zones = {{"UTC0", 0}, {"XST-5:30", 19800}};
    for (const auto& [tz, offset] : zones) {
        SCOPED_TRACE(tz);
        ScopedTimeZone zone(tz);
        const std::time_t before = std::time(nullptr);
        const CalendarTime now = SystemClock().localNow();
        const std::time_t after = std::time(nullptr);
        const double days = fromCalendar(now) - kUnixEpochDay;
        const auto unixSeconds = std::llround(days * 86400.0) - offset;
        EXPECT_GE(unixSeconds, before);
        EXPECT_LE(unixSeconds, after);
    }
}
#else
// GetTimeZoneInformation follows the zone the process was started in (TZ under Wine).
TEST(SystemZoneSource, ReportsTheZoneTheProcessStartedIn) {
    const char* tz = std::getenv("TZ");
    for (const auto& row : kZones) {
        if (tz != nullptr && std::string(tz) == row.tz) {
            SCOPED_TRACE(row.name);
            expectZoneOfRow(SystemZoneSource().zoneInformation(), row);
            return;
        }
    }
    GTEST_SKIP() << "TZ names none of the zones this test knows";
}
#endif

} // namespace
} // namespace quorvane::support
