#include "app/qtplatform.h"
#include "apptesting.h"

#include <gtest/gtest.h>

namespace quorvane::app {
namespace {

struct ZoneCase {
    const char* name;
    const char* format;
    const char* expected;
};

void PrintTo(const ZoneCase& row, std::ostream* out) {
    *out << row.name;
}

class TimeFormat : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(TimeFormat, LosesItsZonePartOnly) {
    EXPECT_EQ(withoutZone(GetParam().format), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TimeFormat,
                         ::testing::Values(ZoneCase{"ZoneAtTheEnd", "h:mm:ss AP t", "h:mm:ss AP"},
                                           ZoneCase{"LongZoneName", "HH:mm:ss tttt", "HH:mm:ss"},
                                           ZoneCase{"ZoneAtTheStart", "t HH:mm:ss", "HH:mm:ss"},
                                           ZoneCase{"QuotedTKept", "H 'tijd' mm:ss t",
                                                    "H 'tijd' mm:ss"},
                                           ZoneCase{"NoZone", "HH:mm:ss", "HH:mm:ss"}),
                         quorvane::testing::rowName<ZoneCase>);

const support::CalendarTime kAfternoon{2025, 2, 22, 14, 5, 9};

TEST(QtLocaleTexts, EnglishTwelveHourTimeWithSecondsAndNoZone) {
    const QtLocaleTexts texts(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(texts.timeText(kAfternoon), "2:05:09 PM");
    EXPECT_EQ(texts.dateTimeText(kAfternoon), "2/22/25 2:05:09 PM");
    EXPECT_EQ(texts.decimalSeparator(), ".");
    EXPECT_EQ(texts.groupSeparator(), ",");
}

TEST(QtLocaleTexts, GermanTwentyFourHourTimeAndCommaDecimals) {
    const QtLocaleTexts texts(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(texts.timeText(kAfternoon), "14:05:09");
    EXPECT_EQ(texts.dateTimeText(kAfternoon), "22.02.25 14:05:09");
    EXPECT_EQ(texts.decimalSeparator(), ",");
    EXPECT_EQ(texts.groupSeparator(), ".");
}

} // namespace
} // namespace quorvane::app
