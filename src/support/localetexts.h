#pragma once

#include <string>

namespace quorvane::support {

// A calendar date and time of day, to the second.
struct CalendarTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool operator==(const CalendarTime&) const = default;
};

// The user's regional settings as far as the program uses them.
class LocaleTexts {
public:
    virtual ~LocaleTexts() = default;

    // One ASCII character: "," under German settings, "." under English ones.
    virtual std::string decimalSeparator() const = 0;
    virtual std::string groupSeparator() const = 0;
    // The time of day with seconds and nothing of a zone name: "14:05:09" or "2:05:09 PM".
    virtual std::string timeText(const CalendarTime& time) const = 0;
    // The date in the locale's order with the year in four digits, one blank and timeText():
    // "2/22/2025 7:22:58 PM".
    virtual std::string dateTimeText(const CalendarTime& time) const = 0;
};

} // namespace quorvane::support
