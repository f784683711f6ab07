#include "support/timeconversion.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <string_view>

#include "support/errorlog.h"
#include "support/failure.h"
#include "support/numerictext.h"

namespace quorvane::support {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// 1 January 100 and 31 December 9999, the first and last day a date-time value can hold.
constexpr std::int64_t kFirstDay = -657434;
constexpr std::int64_t kLastDay = 2958465;
// Far outside the representable days, small enough for exact whole seconds in a double.
constexpr double kDayLimit = 1e9;

std::int64_t checkedAdd(std::int64_t a, std::int64_t b) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    if ((b > 0 && a > kMax - b) || (b < 0 && a < kMin - b)) {
        raise(errors::kOverflow);
    }
    return a + b;
}

// `value` / `divisor` for positive numbers, the remainder rounded half to even.
std::int64_t dividedHalfEven(std::int64_t value, std::int64_t divisor) {
    std::int64_t quotient = value / divisor;
    const std::int64_t twiceRemainder = (value % divisor) * 2;
    if (twiceRemainder > divisor || (twiceRemainder == divisor && quotient % 2 != 0)) {
        ++quotient;
    }
    return quotient;
}

// Date-time values count the fraction of a negative value forwards from the start of its day
// (-1.25 is 29 December 1899 06:00); these turn them into a straight day count and back.
double straightFromDateTime(DateTime value) {
    if (value >= 0) {
        return value;
    }
    const double day = std::ceil(value);
    return 2 * day - value;
}

DateTime dateTimeFromStraight(double days) {
    if (days >= 0) {
        return days;
    }
    const double day = std::floor(days);
    return 2 * day - days;
}

// Whole seconds since 30 December 1899 of a straight day count, rounded to the nearest second.
std::int64_t secondsOf(double straightDays) {
    return std::llround(straightDays * static_cast<double>(kSecondsPerDay));
}

bool representable(double straightDays) {
    if (!std::isfinite(straightDays) || std::fabs(straightDays) > kDayLimit) {
        return false;
    }
    const std::int64_t seconds = secondsOf(straightDays);
    return seconds >= kFirstDay * kSecondsPerDay && seconds < (kLastDay + 1) * kSecondsPerDay;
}

constexpr std::string_view kEpoch2DateLocation = ".Epoch2Date";

} // namespace

std::optional<TimeZoneBias> GetTimeZoneBias(const ZoneInformation& zone,
                                            const LocaleTexts& locale) {
    std::int64_t minutesEast = 0;
    switch (zone.returnCode) {
    case 0:
    case 1:
        minutesEast = -static_cast<std::int64_t>(zone.bias);
        break;
    case 2:
        minutesEast = 60 - static_cast<std::int64_t>(zone.bias);
        break;
    default:
        return std::nullopt;
    }
    const std::int64_t seconds = minutesEast * 60;
    if (seconds < std::numeric_limits<std::int32_t>::min() ||
        seconds > std::numeric_limits<std::int32_t>::max()) {
        raise(errors::kOverflow);
    }
    const double hours = (zone.returnCode == 2 ? 1.0 : 0.0) - zone.bias / 60.0;
    return TimeZoneBias{static_cast<std::int32_t>(seconds),
                        generalNumber(hours, locale.decimalSeparator())};
}

// The line labels of Epoch2Date's steps, which its error log entries name.
namespace epoch2DateLabels {
constexpr int kClearFraction = 2945;
constexpr int kMilliseconds = 2965;
constexpr int kAddZoneBias = 2955;
constexpr int kWholeDays = 2966;
constexpr int kDateValue = 2975;
} // namespace epoch2DateLabels

DateTime Epoch2Date(Epoch e, std::int32_t timeZoneBias, ErrorLog& log, Epoch* msFrac) {
    DateTime result = 0.0;
    Epoch fraction = 0;
    double days = 0.0;
    Trap trap = Trap::logAndResume([&log](const Failure& failure, int label) {
        log.LogError(failure, label, kEpoch2DateLocation);
    });
    trap.run(epoch2DateLabels::kClearFraction, [&] {
        if (msFrac != nullptr) {
            *msFrac = 0;
        }
    });
    trap.run(epoch2DateLabels::kMilliseconds, [&] {
        if (e > kMillisecondThreshold) {
            // Exact in decimal: the seconds to the nearest ten-thousandth, ties to even.
            e = dividedHalfEven(e, 1000);
            fraction = e % kEpochScale;
            if (msFrac != nullptr) {
                *msFrac = fraction;
            }
        }
    });
    trap.run(epoch2DateLabels::kAddZoneBias,
             [&] { e = checkedAdd(e, std::int64_t{timeZoneBias} * kEpochScale); });
    trap.run(epoch2DateLabels::kWholeDays, [&] {
        days = static_cast<double>(checkedAdd(e, -fraction)) /
               static_cast<double>(kSecondsPerDay * kEpochScale);
    });
    trap.run(epoch2DateLabels::kDateValue, [&] {
        const double straightDays = days + kUnixEpochDay;
        if (!representable(straightDays)) {
            raise(errors::kOverflow);
        }
        result = dateTimeFromStraight(straightDays);
    });
    return result;
}

CalendarTime toCalendar(DateTime value) {
    const double straightDays = straightFromDateTime(value);
    if (!std::isfinite(straightDays) || std::fabs(straightDays) > kDayLimit) {
        return CalendarTime{};
    }
    const std::int64_t seconds = secondsOf(straightDays);
    const std::int64_t secondOfDay = ((seconds % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
    const std::int64_t day = (seconds - secondOfDay) / kSecondsPerDay;
    const auto unixDay = std::chrono::sys_days{
        std::chrono::days{day - static_cast<std::int64_t>(kUnixEpochDay)}};
    const std::chrono::year_month_day date{unixDay};
    CalendarTime time;
    time.year = static_cast<int>(date.year());
    time.month = static_cast<int>(static_cast<unsigned>(date.month()));
    time.day = static_cast<int>(static_cast<unsigned>(date.day()));
    time.hour = static_cast<int>(secondOfDay / 3600);
    time.minute = static_cast<int>(secondOfDay / 60 % 60);
    time.second = static_cast<int>(secondOfDay % 60);
    return time;
}

DateTime fromCalendar(const CalendarTime& time) {
    const std::chrono::year_month_day date{std::chrono::year{time.year},
                                           std::chrono::month{static_cast<unsigned>(time.month)},
                                           std::chrono::day{static_cast<unsigned>(time.day)}};
    const std::int64_t day =
        std::chrono::sys_days{date}.time_since_epoch().count() +
        static_cast<std::int64_t>(kUnixEpochDay);
    const std::int64_t seconds = day * kSecondsPerDay + time.hour * std::int64_t{3600} +
                                 time.minute * std::int64_t{60} + time.second;
    return dateTimeFromStraight(static_cast<double>(seconds) /
                                static_cast<double>(kSecondsPerDay));
}

} // namespace quorvane::support
