// The local time and the time zone from the C library, in the form the Windows API gives them.
#include "support/clock.h"
#include "support/system.h"

namespace quorvane::support {

bool system::localTime(std::time_t when, std::tm& result) {
    return localtime_r(&when, &result) != nullptr;
}

namespace {

// The local time's offset east of UTC in seconds and whether daylight time is in force then.
struct LocalOffset {
    long seconds = 0;
    bool daylight = false;
};

LocalOffset offsetAt(std::time_t when) {
    std::tm local{};
    if (!system::localTime(when, local)) {
        return {};
    }
    return {local.tm_gmtoff, local.tm_isdst > 0};
}

// Noon on the first of `month` (1 to 12) of `year`, local time.
std::time_t firstOfMonth(int year, int month) {
    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = 1;
    date.tm_hour = 12;
    date.tm_isdst = -1;
    return std::mktime(&date);
}

} // namespace

ZoneInformation SystemZoneSource::zoneInformation() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!system::localTime(now, local)) {
        return ZoneInformation{0xFFFFFFFFu, 0};
    }
    const LocalOffset current = offsetAt(now);
    const int year = local.tm_year + 1900;
    const bool hasDaylightRules =
        offsetAt(firstOfMonth(year, 1)).daylight || offsetAt(firstOfMonth(year, 7)).daylight;
    const auto minutesEast = static_cast<std::int32_t>(current.seconds / 60);
    if (!hasDaylightRules) {
        return ZoneInformation{0, -minutesEast};
    }
    // Daylight time counts as one hour ahead of the Bias; taking the Bias from the offset in
    // force keeps the worked-out offset right even where the rules say otherwise.
    if (current.daylight) {
        return ZoneInformation{2, 60 - minutesEast};
    }
    return ZoneInformation{1, -minutesEast};
}

} // namespace quorvane::support
