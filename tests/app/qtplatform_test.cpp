#include "app/localeformats.h"
#include "app/qtplatform.h"
#include "apptesting.h"

#include <gtest/gtest.h>

namespace quorvane::app {
namespace {

struct FormatCase {
    const char* name;
    const char* format;
    const char* expected;
};

void PrintTo(const FormatCase& row, std::ostream* out) {
    *out << row.name;
}

class TimeFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(TimeFormat, LosesItsZonePartOnly) {
    EXPECT_EQ(withoutZone(GetParam().format), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimeFormat,
    ::testing::Values(FormatCase{"ZoneAtTheEnd", "h:mm:ss AP t", "h:mm:ss AP"},
                      FormatCase{"LongZoneName", "HH:mm:ss tttt", "HH:mm:ss"},
                      FormatCase{"ZoneAtTheStart", "t HH:mm:ss", "HH:mm:ss"},
                      FormatCase{"QuotedTKept", "H 'tijd' mm:ss t", "H 'tijd' mm:ss"},
                      FormatCase{"InParentheses", "H:mm:ss (t)", "H:mm:ss"},
                      FormatCase{"InBrackets", "APh:mm:ss [t]", "APh:mm:ss"},
                      FormatCase{"AfterAComma", "h:mm:ss AP, t", "h:mm:ss AP"},
                      FormatCase{"AbbreviationDotKept", "H:mm:ss 'ч'. t", "H:mm:ss 'ч'."},
                      FormatCase{"NoZone", "HH:mm:ss", "HH:mm:ss"}),
    quorvane::testing::rowName<FormatCase>);

const support::CalendarTime kAfternoon{2025, 2, 22, 14, 5, 9};

class FormatLetters : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatLetters, AreAllRenderedByQt) {
    EXPECT_EQ(withQtLetters(GetParam().format), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatLetters,
    ::testing::Values(FormatCase{"DayPeriodBecomesAmPm", "Bh:mm:ss", "APh:mm:ss"},
                      FormatCase{"DayPeriodBesideAmPmDropped", "h:mm:ss B AP", "h:mm:ss AP"},
                      FormatCase{"UnknownLetterDroppedWithItsBlank", "v HH:mm:ss", "HH:mm:ss"},
                      FormatCase{"OneToTwentyFourHours", "kk:mm:ss", "HH:mm:ss"},
                      FormatCase{"QuotedLettersKept", "H 'Uhr' mm 'kB'", "H 'Uhr' mm 'kB'"}),
    quorvane::testing::rowName<FormatCase>);

// The ASCII letters of `format` outside quoted text that Qt does not render as fields, and
// zone fields ("t").
QString unrenderedLetters(const QString& format) {
    QString letters;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
        } else if (!quoted && c.isLetter() && c.unicode() < 0x80 &&
                   !QStringView(u"dMyhHmsapAP").contains(c)) {
            letters += c;
        }
    }
    return letters;
}

// What is wrong with a time or date-time text: zone brackets, blanks or commas left at an end.
QString leftovers(const QString& text) {
    QStringList found;
    for (const char* pair : {"()", "[]", "\uFF08\uFF09"}) {
        if (text.contains(QString::fromUtf8(pair))) {
            found << QString::fromUtf8(pair);
        }
    }
    for (const QChar end : {text.front(), text.back()}) {
        if (end.isSpace() || end == u',' || end == u'\uFF0C') {
            found << QStringLiteral("'%1' at an end").arg(end);
        }
    }
    return found.join(u", ");
}

TEST(QtLocaleTexts, EveryLocaleGivesAWholeTimeWithoutZoneAndAFourDigitYear) {
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 300);
    QStringList faults;
    for (const QLocale& locale : locales) {
        const QtLocaleTexts texts(locale, ".");
        const support::CalendarTime afternoon{2025, 2, 22, 14, 5, 39};
        const QString time = QString::fromStdString(texts.timeText(afternoon));
        const QString dateTime = QString::fromStdString(texts.dateTimeText(afternoon));
        QStringList wrong;
        if (const QString letters = unrenderedLetters(texts.timeFormat() + texts.dateFormat());
            !letters.isEmpty()) {
            wrong << "letters " + letters;
        }
        if (const QString left = leftovers(time); !left.isEmpty()) {
            wrong << left;
        }
        if (!time.contains(locale.toString(QTime(14, 5, 39), QStringLiteral("ss")))) {
            wrong << QStringLiteral("no seconds");
        }
        if (!dateTime.contains(locale.toString(QDate(2025, 2, 22), QStringLiteral("yyyy")))) {
            wrong << QStringLiteral("no four-digit year");
        }
        if (!wrong.isEmpty()) {
            faults << locale.name() + " \"" + dateTime + "\": " + wrong.join(u", ");
        }
    }
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

struct LocaleCase {
    const char* name;
    const char* locale;
    const char* time;
    const char* dateTime;
};

void PrintTo(const LocaleCase& row, std::ostream* out) {
    *out << row.name;
}

class LocaleTexts : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleTexts, ShowTheTimeWithSecondsAndTheDateInTheLocalesOrder) {
    const QtLocaleTexts texts(QLocale(QString::fromUtf8(GetParam().locale)), ".");
    EXPECT_EQ(texts.timeText(kAfternoon), GetParam().time);
    EXPECT_EQ(texts.dateTimeText(kAfternoon), GetParam().dateTime);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, LocaleTexts,
    ::testing::Values(
        LocaleCase{"English", "en_US", "2:05:09 PM", "2/22/2025 2:05:09 PM"},
        LocaleCase{"German", "de_DE", "14:05:09", "22.02.2025 14:05:09"},
        LocaleCase{"SpanishZoneInParentheses", "es_ES", "14:05:09", "22/2/2025 14:05:09"},
        // "Bh:mm:ss [t]": a day period Qt 6.4 does not know, and the zone in brackets.
        LocaleCase{"TaiwaneseDayPeriodAndZoneInBrackets", "zh_TW", "\u4E0B\u53482:05:09",
                   "2025/2/22 \u4E0B\u53482:05:09"},
        LocaleCase{"AlbanianZoneAfterAComma", "sq_AL", "2:05:09 E PASDITES",
                   "22.2.2025 2:05:09 E PASDITES"},
        LocaleCase{"EgyptianArabicDigitsAndMarks", "ar_EG",
                   "\u0662:\u0660\u0665:\u0660\u0669 \u0645",
                   "\u0662\u0662\u200F/\u0662\u200F/\u0662\u0660\u0662\u0665 "
                   "\u0662:\u0660\u0665:\u0660\u0669 \u0645"}),
    quorvane::testing::rowName<LocaleCase>);

} // namespace
} // namespace quorvane::app
