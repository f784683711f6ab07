#include "support/clock.h"

#include <chrono>
#include <ctime>

#include "support/win32.h"

namespace quorvane::support {

namespace {

bool localTime(std::time_t when, std::tm& result) {
#ifdef _WIN32
    return localtime_s(&result, &when) == 0;
#else
    return localtime_r(&when, &result) != nullptr;
#endif
}

#ifndef _WIN32
// The local time's offset east of UTC in seconds and whether daylight time is in force then.
struct LocalOffset {
    long seconds = 0;
    bool daylight = false;
};

LocalOffset offsetAt(std::time_t when) {
    std::tm local{};
    if (!localTime(when, local)) {
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
#endif

} // namespace

std::uint32_t SystemClock::tickCount() {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(elapsed.count()));
}

CalendarTime SystemClock::localNow() {
    std::tm local{};
    if (!localTime(std::time(nullptr), local)) {
        return CalendarTime{};
    }
    return CalendarTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                        local.tm_hour,        local.tm_min,     local.tm_sec};
}

ZoneInformation SystemZoneSource::zoneInformation() {
#ifdef _WIN32
    TIME_ZONE_INFORMATION information{};
    const DWORD code = GetTimeZoneInformation(&information);
    return ZoneInformation{static_cast<std::uint32_t>(code),
                           static_cast<std::int32_t>(information.Bias)};
#else
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localTime(now, local)) {
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
#endif
}

} // namespace quorvane::support
