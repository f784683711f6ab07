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
    return withDigits(m_locale.toString(QTime(time.hour, time.minute, time.second), m_timeFormat))
        .toStdString();
}

std::string QtLocaleTexts::dateTimeText(const support::CalendarTime& time) const {
    const QDate date(time.year, time.month, time.day);
    return withDigits(m_locale.toString(date, m_dateFormat)).toStdString() + " " + timeText(time);
}

QString QtLocaleTexts::withDigits(const QString& text) const {
    if (!m_asciiDigits) {
        return text;
    }
    QString ascii;
    for (const char32_t c : text.toUcs4()) {
        const int digit = QChar::digitValue(c);
        if (digit >= 0) {
            ascii += QChar(u'0' + digit);
        } else {
            ascii += QString::fromUcs4(&c, 1);
        }
    }
    return ascii;
}

void QtLocaleTexts::fitDateTimeTo(const std::function<double(const QString&)>& width, double room) {
    constexpr int kFirstYear = 2026;
    constexpr int kLastYear = 2099;
    // The value of `first` to `last` whose text is the widest: digits of some scripts differ
    // in width.
    const auto widest = [&width](int first, int last, const std::function<QString(int)>& text) {
        int chosen = first;
        double most = -1;
        for (int value = first; value <= last; ++value) {
            if (const double measured = width(text(value)); measured > most) {
                most = measured;
                chosen = value;
            }
        }
        return chosen;
    };
    const auto date = [this](int year, int month, int day) {
        return QString::fromStdString(
            dateTimeText(support::CalendarTime{year, month, day, 0, 0, 0}));
    };
    const int day = widest(1, 28, [&](int d) { return date(kFirstYear, 1, d); });
    const int month = widest(1, 12, [&](int m) { return date(kFirstYear, m, day); });
    const int year = widest(kFirstYear, kLastYear, [&](int y) { return date(y, month, day); });
    const auto fitsEveryHour = [&] {
        const auto time = [this](int minute, int second) {
            return QString::fromStdString(
                timeText(support::CalendarTime{0, 1, 1, 0, minute, second}));
        };
        const int minute = widest(0, 59, [&](int m) { return time(m, 0); });
        const int second = widest(0, 59, [&](int s) { return time(0, s); });
        for (int hour = 0; hour < 24; ++hour) {
            const support::CalendarTime sample{year, month, day, hour, minute, second};
            if (width(QString::fromStdString(dateTimeText(sample))) > room) {
                return false;
            }
        }
        return true;
    };
    if (fitsEveryHour()) {
        return;
    }
    m_timeFormat = numericTimeFormat(m_locale);
    if (!fitsEveryHour()) {
        m_asciiDigits = true;
    }
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
