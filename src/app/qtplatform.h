#pragma once

#include "support/clock.h"
#include "support/decimalseparator.h"
#include "support/localetexts.h"

#include <QElapsedTimer>
#include <QLocale>

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

    // The formats used by timeText and dateTimeText ("h:mm:ss AP", "M/d/yyyy" for en_US).
    const QString& timeFormat() const { return m_timeFormat; }
    const QString& dateFormat() const { return m_dateFormat; }

private:
    QLocale m_locale;
    QString m_timeFormat;
    QString m_dateFormat;
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
