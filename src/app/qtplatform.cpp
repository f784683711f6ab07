#include "app/qtplatform.h"

#include <QDateTime>

namespace quorvane::app {

QString withoutZone(const QString& format) {
    QString result;
    bool quoted = false;
    bool dropBlanks = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (dropBlanks && c.isSpace()) {
            continue;
        }
        dropBlanks = false;
        if (c == u'\'') {
            quoted = !quoted;
            result += c;
            continue;
        }
        if (quoted || c != u't') {
            result += c;
            continue;
        }
        while (i + 1 < format.size() && format.at(i + 1) == u't') {
            ++i;
        }
        // The zone's own separator goes with it; at the very start it is the blank after it.
        while (!result.isEmpty() && result.back().isSpace()) {
            result.chop(1);
        }
        dropBlanks = result.isEmpty();
    }
    return result;
}

QtLocaleTexts::QtLocaleTexts(QLocale locale)
    : m_locale(std::move(locale)),
      m_timeFormat(withoutZone(m_locale.timeFormat(QLocale::LongFormat))) {}

std::string QtLocaleTexts::decimalSeparator() const {
    return m_locale.decimalPoint().toStdString();
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
    return m_locale.toString(date, QLocale::ShortFormat).toStdString() + " " + timeText(time);
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
