#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "support/clock.h"
#include "support/localetexts.h"

namespace quorvane::support {

class ErrorLog;

// A date-time value: days since 30 December 1899 00:00, the fraction being the time of day.
using DateTime = double;

// Day 25569 is 1 January 1970.
inline constexpr double kUnixEpochDay = 25569.0;

// Unix time as a signed count of ten-thousandths: seconds, or milliseconds when above
// 10,000,000,000 (that is, above kMillisecondThreshold ten-thousandths).
using Epoch = std::int64_t;
inline constexpr Epoch kEpochScale = 10000;
inline constexpr Epoch kMillisecondThreshold = 10000000000LL * kEpochScale;

// The local offset and the Zone text worked out from the platform's zone information.
struct TimeZoneBias {
    std::int32_t seconds = 0;
    // The hours for the Zone box; empty when the box is left unchanged.
    std::string zoneText;
};

// The offset by the return-code table: 1 standard time (-Bias x 60 s), 2 daylight time (one hour
// more), 0 a zone without daylight saving (as standard time); nothing for any other code.
// Raises kOverflow when the seconds leave the 32-bit range.
std::optional<TimeZoneBias> GetTimeZoneBias(const ZoneInformation& zone,
                                            const LocaleTexts& locale);

// The local date-time of the Unix time `e`, `timeZoneBias` seconds east of UTC. `msFrac`, when
// given, receives the fractional seconds of a millisecond input (ten-thousandths), else 0.
// The first failure is logged to `log` with the failing step's label and "Epoch2Date" and the
// call goes on; a date outside 1 January 100 to 31 December 9999 gives 0 (30 December 1899).
// A second failure, or a failure to write the log, passes to the caller. Times before
// 30 December 1899 give the date-time value of that date and time.
DateTime Epoch2Date(Epoch e, std::int32_t timeZoneBias, ErrorLog& log, Epoch* msFrac = nullptr);

// The calendar date and time of a date-time value, to the nearest second; a negative value's
// fraction is the time after its day's start (-1.25 is 29 December 1899 06:00). NaN and values
// beyond a billion days give 30 December 1899 00:00.
CalendarTime toCalendar(DateTime value);

// The date-time value of a calendar date and time (month 1 to 12, day 1 to 31; hours, minutes
// and seconds beyond their range carry into the next unit).
DateTime fromCalendar(const CalendarTime& time);

} // namespace quorvane::support
