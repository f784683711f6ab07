#pragma once

#include "history/energy.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Local calendar days in the system's time zone (TZ on POSIX, the Windows time zone).
namespace quorvane::history {

// Whether `date` is a real calendar date (2026-02-30 is not).
bool isValidDate(const LocalDate& date);

// The day after and the day before `date`.
LocalDate nextDay(const LocalDate& date);
LocalDate previousDay(const LocalDate& date);

// The number of days of a month (28 to 31).
int daysInMonth(int year, int month);

// The local date of `when` (seconds since 1970 UTC); nothing when the system cannot tell it.
std::optional<LocalDate> localDateOf(std::int64_t when);

// The first second of `date` in the local zone: the first second whose local date is `date`,
// found from the zone itself, so a daylight-saving day is 23 or 25 hours long.
std::int64_t localDayStart(const LocalDate& date);

// "2026-06-21" and "2026-06".
std::string formatDate(const LocalDate& date);
std::string formatMonth(int year, int month);

// The date in "YYYY-MM-DD"; nothing for any other text or a date the calendar does not have.
std::optional<LocalDate> parseDate(std::string_view text);

} // namespace quorvane::history
