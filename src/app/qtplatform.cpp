#include "app/qtplatform.h"

#include "app/localeformats.h"

#include <QDateTime>

namespace quorvane::app {

QtLocaleTexts::QtLocaleTexts(QLocale locale, std::string decimalSeparator)
    : m_locale(std::move(locale)), m_timeFormat(timeFormatWithSeconds(m_locale)),
      m_dateFormat(generalDateFormat(m_locale)), m_decimalSeparator(std::move(decimalSeparator)) {}

std::string QtLocaleTexts::decimalSeparator() const {
    return m_decimalSeparator;
}

std::string QtLocaleTexts::groupSeparator() const {
    return m_locale.groupSeparator().toStdString();
}

std::string QtLocaleTexts::timeText(const support::CalendarTime& time) const {
    return m_locale.toString(QTime(time.hour, time.minute, time.second), m_timeFormat)
        .toStdString();
}

std::string QtLocaleTexts::dateTimeText(const support::CalendarTime& time) const {
    const QDate date(time.year, time.month, time.day);
    return m_locale.toString(date, m_dateFormat).toStdString() + " " + timeText(time);
}

QtClock::QtClock() {
    m_elapsed.start();
}

std::uint32_t QtClock::tickCount() {
    // The counter wraps like the platform's 32-bit tick count.
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(m_elapsed.elapsed()));
}

support::CalendarTime QtClock::localNow() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    return support::CalendarTime{date.year(), date.month(),  date.day(),
                                 time.hour(), time.minute(), time.second()};
}

} // namespace quorvane::app
