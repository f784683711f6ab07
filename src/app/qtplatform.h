#pragma once

#include "support/clock.h"
#include "support/decimalseparator.h"
#include "support/localetexts.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QString>
#include <functional>

// The Qt side of the core's locale and clock interfaces.
namespace quorvane::app {

// The user's regional settings: the time and date texts from a QLocale (the system's by default),
// the decimal separator as the system keeps it. Times carry seconds and no zone
// (timeFormatWithSeconds), dates the year in four digits (generalDateFormat).
class QtLocaleTexts final : public support::LocaleTexts {
public:
    explicit QtLocaleTexts(QLocale locale = QLocale::system(),
                           std::string decimalSeparator = support::systemDecimalSeparator());

    std::string decimalSeparator() const override;
    std::string groupSeparator() const override;
    std::string timeText(const support::CalendarTime& time) const override;
    std::string dateTimeText(const support::CalendarTime& time) const override;

    // Where a date and time in the locale's own time format could be wider than `room` by
    // `width`, times use the locale's numeric time (numericTimeFormat) from now on, in timeText
    // and dateTimeText alike; where even that could be wider (Burmese digits are), dates and
    // times are written with the digits 0 to 9. Tried are the widest day, month, year (to
    // 2099), minute and second at every hour. Called once, before the first reading, so that one
    // run keeps one format.
    void fitDateTimeTo(const std::function<double(const QString&)>& width, double room);

    // The formats used by timeText and dateTimeText ("h:mm:ss AP", "M/d/yyyy" for en_US).
    const QString& timeFormat() const { return m_timeFormat; }
    const QString& dateFormat() const { return m_dateFormat; }

private:
    // The text with each digit as one of 0 to 9, once the locale's own are too wide.
    QString withDigits(const QString& text) const;

    QLocale m_locale;
    QString m_timeFormat;
    QString m_dateFormat;
    bool m_asciiDigits = false;
    std::string m_decimalSeparator;
};

// Milliseconds from a monotonic clock started with the object, and the local date and time.
class QtClock final : public support::Clock {
public:
    QtClock();

    std::uint32_t tickCount() override;
    support::CalendarTime localNow() override;

private:
    QElapsedTimer m_elapsed;
};

} // namespace quorvane::app
