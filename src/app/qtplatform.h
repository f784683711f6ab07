#pragma once

#include "support/clock.h"
#include "support/localetexts.h"

#include <QElapsedTimer>
#include <QLocale>

// The Qt side of the core's locale and clock interfaces.
namespace quorvane::app {

// The user's regional settings from a QLocale (the system's by default). Times carry seconds and
// no zone: the locale's long time format with its zone part removed.
class QtLocaleTexts final : public support::LocaleTexts {
public:
    explicit QtLocaleTexts(QLocale locale = QLocale::system());

    std::string decimalSeparator() const override;
    std::string groupSeparator() const override;
    std::string timeText(const support::CalendarTime& time) const override;
    std::string dateTimeText(const support::CalendarTime& time) const override;

    // The time format used by timeText ("h:mm:ss AP" for en_US).
    const QString& timeFormat() const { return m_timeFormat; }

private:
    QLocale m_locale;
    QString m_timeFormat;
};

// A time format without its time-zone fields ("t" to "tttt") and the blanks joining them.
QString withoutZone(const QString& format);

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
