#include "history/localdays.h"

#include "history/historysystem.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace quorvane::history {

namespace chr = std::chrono;

namespace {

chr::year_month_day toCalendar(const LocalDate& date) {
    return chr::year_month_day{chr::year{date.year}, chr::month{static_cast<unsigned>(date.month)},
                               chr::day{static_cast<unsigned>(date.day)}};
}

LocalDate fromCalendar(const chr::year_month_day& date) {
    return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day()))};
}

// Whether the local date at `when` is `date` or later; a time the system cannot convert counts
// as later, so the search below still ends.
bool atOrAfter(std::int64_t when, const LocalDate& date) {
    const auto local = localDateOf(when);
    return !local || *local >= date;
}

} // namespace

bool isValidDate(const LocalDate& date) {
    return date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31 &&
           toCalendar(date).ok();
}

LocalDate nextDay(const LocalDate& date) {
    return fromCalendar(chr::sys_days{toCalendar(date)} + chr::days{1});
}

LocalDate previousDay(const LocalDate& date) {
    return fromCalendar(chr::sys_days{toCalendar(date)} - chr::days{1});
}

int daysInMonth(int year, int month) {
    const chr::year_month_day_last last{chr::year{year} / chr::month{static_cast<unsigned>(month)} /
                                        chr::last};
    return static_cast<int>(static_cast<unsigned>(last.day()));
}

std::optional<LocalDate> localDateOf(std::int64_t when) {
    system::LocalTime local;
    if (!system::localTime(when, local)) {
        return std::nullopt;
    }
    return LocalDate{local.year, local.month, local.day};
}

std::int64_t localDayStart(const LocalDate& date) {
    // Every zone's offset lies within 16 hours of UTC, so the local day starts between these
    // two; the local date never goes back as time goes on, so halving the span finds it.
    constexpr std::int64_t kWidestOffset = 16 * 3600;
    const std::int64_t utcMidnight =
        chr::sys_seconds{chr::sys_days{toCalendar(date)}}.time_since_epoch().count();
    std::int64_t before = utcMidnight - kWidestOffset; // local date earlier than `date`
    std::int64_t from = utcMidnight + kWidestOffset;   // local date `date` or later
    while (from - before > 1) {
        const std::int64_t middle = before + (from - before) / 2;
        if (atOrAfter(middle, date)) {
            from = middle;
        } else {
            before = middle;
        }
    }
    return from;
}

std::string formatDate(const LocalDate& date) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

std::string formatMonth(int year, int month) {
    char text[24];
    std::snprintf(text, sizeof text, "%04d-%02d", year, month);
    return text;
}

std::optional<LocalDate> parseDate(std::string_view text) {
    const auto digits = [&text](std::size_t at, std::size_t count, int& value) {
        const char* first = text.data() + at;
        const char* last = first + count;
        for (const char* c = first; c != last; ++c) {
            if (*c < '0' || *c > '9') {
                return false;
            }
        }
        return std::from_chars(first, last, value).ptr == last;
    };
    LocalDate date;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !digits(0, 4, date.year) ||
        !digits(5, 2, date.month) || !digits(8, 2, date.day) || !isValidDate(date)) {
        return std::nullopt;
    }
    return date;
}

} // namespace quorvane::history
