#pragma once

#include <QLocale>
#include <QString>

// The date and time formats the program shows and writes, made from a locale's own formats so
// that every locale Qt knows gives a whole, clean text.
namespace quorvane::app {

// The locale's long time format without its zone part and with only the format letters Qt
// renders: "h:mm:ss AP" for en_US, "HH:mm:ss" for de_DE, "APh:mm:ss" for zh_TW.
QString timeFormatWithSeconds(const QLocale& locale);

// The locale's time as digits alone, with seconds and on the 24-hour clock: its short format's
// hours (one digit or two) and the character between its hours and minutes ("." for fi_FI;
// ":" where that is a word or a blank), "H:mm:ss" for en_US, "HH:mm:ss" for th_TH.
QString numericTimeFormat(const QLocale& locale);

// The locale's short date format, its order and separators kept, with the year in four digits:
// "M/d/yyyy" for en_US, "dd.MM.yyyy" for de_DE.
QString generalDateFormat(const QLocale& locale);

// A format without its time-zone fields ("t" to "tttt") and what only joined or enclosed them:
// the blanks and commas before a zone (after it, for a zone at the start) and brackets around
// it. "h:mm:ss AP, t" gives "h:mm:ss AP", "H:mm:ss (t)" gives "H:mm:ss".
QString withoutZone(const QString& format);

// A format whose letters Qt does not render as fields are mapped to one it does or dropped: a
// day period ("B", "b") becomes "AP" where the format has no AM/PM field yet; "k" becomes "H",
// "K" becomes "h"; any other unknown letter goes, with a blank it leaves doubled. Quoted text
// is kept as it is.
QString withQtLetters(const QString& format);

// A format whose year fields ("y", "yy", ...) all show the year in four digits ("yyyy").
QString withFourDigitYears(const QString& format);

} // namespace quorvane::app
