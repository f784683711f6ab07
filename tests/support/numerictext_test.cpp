#include "support/numerictext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/failure.h"
#include "support/supporttest.h"

namespace quorvane::support {
namespace {

using testing::failureNumberOf;

struct FormatRow {
    const char* name;
    double value;
    const char* expected;
};

TEST(DisplayPattern, FormatsOneDecimalWithGroupsAndRoundsHalvesAwayFromZero) {
    const std::vector<FormatRow> rows = {
        {"whole value gets one decimal", 7.0, "7.0"},
        {"more decimals are rounded", 1234.56, "1,234.6"},
        {"negative value keeps its minus", -0.26, "-0.3"},
        {"tie written in decimal rounds up", 0.05, "0.1"},
        {"tie above one rounds up", 1.05, "1.1"},
        {"tie whose binary value lies below", 2.25, "2.3"},
        {"negative tie rounds away from zero", -2.25, "-2.3"},
        {"carry reaches a new group", 999.95, "1,000.0"},
        {"groups of three", 1234567.8, "1,234,567.8"},
        {"exact thousands", 100000.0, "100,000.0"},
        {"three digits need no comma", 999.0, "999.0"},
        {"sum with a binary tail", 0.1 + 0.2, "0.3"},
        {"gateway's negative zero", -0.0, "0.0"},
        {"negative value that shows as zero", -0.04, "0.0"},
        {"negative value that rounds to a tenth", -0.05, "-0.1"},
        {"tiny value", 1e-300, "0.0"},
        {"huge value keeps all digits", 1e20, "100,000,000,000,000,000,000.0"},
        {"fifteen significant digits", 123456789012.345, "123,456,789,012.3"},
        {"tie in the fifteen-digit form of a longer value", 2.2499999999999996, "2.3"},
        {"smallest double", 5e-324, "0.0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(formatDisplay(row.value), row.expected);
    }
}

TEST(DisplayPattern, RejectsValuesThatAreNotFinite) {
    EXPECT_EQ(failureNumberOf([] { formatDisplay(std::nan("")); }), errors::kOverflow);
    EXPECT_EQ(failureNumberOf([] { formatDisplay(-HUGE_VAL); }), errors::kOverflow);
}

struct RoundRow {
    const char* name;
    double value;
    int decimals;
    double expected;
};

TEST(Rounding, HalvesGoToTheEvenDigitOfTheDecimalForm) {
    const std::vector<RoundRow> rows = {
        {"tie to even below", 2.25, 1, 2.2},
        {"tie to even above", 2.35, 1, 2.4},
        {"tie with odd digit goes up", 12.35, 1, 12.4},
        {"whole tie to even two", 2.5, 0, 2.0},
        {"whole tie to even four", 3.5, 0, 4.0},
        {"negative whole tie", -2.5, 0, -2.0},
        {"negative tie", -2.25, 1, -2.2},
        {"tie in the third decimal", 1.005, 2, 1.0},
        {"tie with odd digit, two decimals", 2.675, 2, 2.68},
        {"not a tie", 807.326, 1, 807.3},
        {"above the tie", 2.251, 1, 2.3},
        {"negative value to zero", -0.04, 1, 0.0},
        {"already rounded", 1e20, 1, 1e20},
        {"tie in the fifteen-digit form of a longer value", 2.3499999999999996, 1, 2.4},
        {"fifteen decimals", 0.123456789012345, 15, 0.123456789012345},
        {"tie in the fifteenth decimal", 0.0000000000000025, 15, 0.000000000000002},
        {"smallest double", 5e-324, 2, 0.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(roundHalfEven(row.value, row.decimals), row.expected);
    }
}

TEST(Rounding, OverflowsOnlyWhereTheFifteenDigitFormIsBeyondADouble) {
    constexpr double kLargest = std::numeric_limits<double>::max();
    EXPECT_EQ(failureNumberOf([&] { roundHalfEven(kLargest, 1); }), errors::kOverflow);
    EXPECT_EQ(failureNumberOf([&] { roundHalfEven(-kLargest, 0); }), errors::kOverflow);
    EXPECT_EQ(roundHalfEven(1.79769313486231e308, 1), 1.79769313486231e308);
}

struct ValueRow {
    const char* name;
    const char* text;
    double expected;
};

TEST(LeadingNumber, ReadsTheNumberATextBeginsWith) {
    const std::vector<ValueRow> rows = {
        {"comma ends the number", "-1,234.5", -1.0},
        {"empty text", "", 0.0},
        {"no number at all", "abc", 0.0},
        {"blanks inside are skipped", " 1 2 3", 123.0},
        {"tab and line feed are skipped", "\t-\n5", -5.0},
        {"blank after the sign", "- 812.3", -812.3},
        {"letters end the number", "12abc", 12.0},
        {"exponent is read", "1.5e3x", 1500.0},
        {"negative exponent", "1e-2", 0.01},
        {"exponent without digits ends before it", "1e", 1.0},
        {"second point ends the number", "3.4.5", 3.4},
        {"point first", ".5", 0.5},
        {"plus sign", "+7", 7.0},
        {"sign alone", "-", 0.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(leadingNumber(row.text), row.expected);
    }
    EXPECT_EQ(failureNumberOf([] { leadingNumber("1e999"); }), errors::kOverflow);
}

TEST(PlainValue, DropsEveryCommaBeforeReading) {
    EXPECT_EQ(plainValue("-1,234.5"), -1234.5);
    EXPECT_EQ(plainValue("1,204.6"), 1204.6);
    EXPECT_EQ(plainValue("1,000,000.0"), 1000000.0);
    EXPECT_EQ(plainValue(""), 0.0);
}

TEST(ValueOfDisplayText, AcceptsThePatternsOwnGroups) {
    const std::vector<ValueRow> rows = {
        {"one group", "1,234.6", 1234.6},
        {"two groups", "-1,234,567.8", -1234567.8},
        {"carried value", "1,000.0", 1000.0},
        {"no groups", "812.3", 812.3},
        {"ungrouped thousands", "1234.5", 1234.5},
        {"blanks around", " 36.0 ", 36.0},
        {"exponent", "1.5e3", 1500.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(valueOfDisplayText(row.text), row.expected);
    }
}

struct FailRow {
    const char* name;
    const char* text;
    int number;
};

TEST(ValueOfDisplayText, FailsForTextsThatAreNotDisplayNumbers) {
    const std::vector<FailRow> rows = {
        {"empty", "", errors::kTypeMismatch},
        {"letters", "abc", errors::kTypeMismatch},
        {"group of two", "12,34", errors::kTypeMismatch},
        {"group of four", "1,2345", errors::kTypeMismatch},
        {"first group of four", "1234,567", errors::kTypeMismatch},
        {"leading comma", ",123", errors::kTypeMismatch},
        {"trailing comma", "1,234,", errors::kTypeMismatch},
        {"comma in the decimals", "1,234.5,6", errors::kTypeMismatch},
        {"two points", "1.2.3", errors::kTypeMismatch},
        {"beyond a double", "1e400", errors::kOverflow},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(failureNumberOf([&] { valueOfDisplayText(row.text); }), row.number);
    }
}

TEST(ValueTextConversion, ReadsSignPointExponentAndBlanks) {
    const std::vector<ValueRow> rows = {
        {"reply layout", " 807.326", 807.326},
        {"gateway's negative zero", "-0.000", 0.0},
        {"plus sign", "+5", 5.0},
        {"capital exponent", "1.5E3", 1500.0},
        {"point first with exponent", "-.5e-1", -0.05},
        {"trailing point", "5.", 5.0},
        {"blanks both sides", " 22.2 ", 22.2},
        {"tabs both sides", "\t1\t", 1.0},
        {"below the smallest double", "1e-400", 0.0},
        {"fifteen significant digits", "1234567.89012345", 1234567.89012345},
        {"seventeen digits", "2.1740080820416130", 2.174008082041613},
        {"seventeen digits after the point", "0.49786907366258517", 0.49786907366258515},
        {"twenty-two decimals", "0.0000000000000000000007", 7e-22},
        {"twenty-three decimals", "0.00000000000000000000007", 7e-23},
        {"zeros before the first digit are decimals only", "000.000123456789012345",
         1.23456789012345e-4},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(valueTextToNumber(row.text), row.expected);
    }
    EXPECT_FALSE(std::signbit(valueTextToNumber("-0.000")));
}

TEST(ValueTextConversion, FailsForAnythingElse) {
    const std::string manyDigits = "1" + std::string(400, '0');
    const std::vector<FailRow> rows = {
        {"empty", "", errors::kTypeMismatch},
        {"blanks only", "  ", errors::kTypeMismatch},
        {"closing brace after the value", "807.326}", errors::kTypeMismatch},
        {"quoted value", "\"5\"", errors::kTypeMismatch},
        {"comma", "1,5", errors::kTypeMismatch},
        {"exponent without digits", "1e", errors::kTypeMismatch},
        {"exponent sign without digits", "1e+", errors::kTypeMismatch},
        {"point alone", ".", errors::kTypeMismatch},
        {"sign alone", "-", errors::kTypeMismatch},
        {"blank inside", "12 34", errors::kTypeMismatch},
        {"line feed after", "5\n", errors::kTypeMismatch},
        {"hexadecimal", "0x1A", errors::kTypeMismatch},
        {"infinity word", "inf", errors::kTypeMismatch},
        {"not-a-number word", "nan", errors::kTypeMismatch},
        {"beyond a double", "1e309", errors::kOverflow},
        {"negative beyond a double", "-1e400", errors::kOverflow},
        {"many digits beyond a double", manyDigits.c_str(), errors::kOverflow},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(failureNumberOf([&] { valueTextToNumber(row.text); }), row.number);
    }
}

struct FixedRow {
    const char* name;
    const char* text;
    std::int64_t expected;
};

TEST(FixedPointConversion, KeepsFourDecimalsAndRoundsFurtherOnesHalfToEven) {
    const std::vector<FixedRow> rows = {
        {"unix seconds", "1740248578", 17402485780000},
        {"blanks around", " 1740248578 ", 17402485780000},
        {"four decimals kept", "1740248578.1234", 17402485781234},
        {"fifth decimal tie to even digit", "1740248578.12345", 17402485781234},
        {"fifth decimal tie with odd digit", "0.00015", 2},
        {"negative tie with odd digit", "-0.00015", -2},
        {"tie to zero", "0.00005", 0},
        {"above the tie", "0.000051", 1},
        {"zeros after a tie to even", "1.000050", 10000},
        {"zeros after a tie to even without a whole part", ".682050", 6820},
        {"zeros after a tie with odd digit", "0.0001500000", 2},
        {"digit far behind the tie", "0.0000500000001", 1},
        {"exponent", "1e3", 10000000},
        {"largest", "922337203685477.5807", std::numeric_limits<std::int64_t>::max()},
        {"smallest", "-922337203685477.5808", std::numeric_limits<std::int64_t>::min()},
        {"many leading zeros", "0000000000000000000000001", 10000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(valueTextToFixedPoint(row.text), row.expected);
    }
}

// Random texts of up to eight whole digits and ten decimals, many of them a tie at the fifth
// decimal followed by zeros, against the same value worked out in whole-number arithmetic.
TEST(FixedPointConversion, AgreesWithExactDecimalArithmetic) {
    std::mt19937_64 random(20261207);
    const auto below = [&](std::uint64_t limit) { return random() % limit; };
    for (int i = 0; i < 20000; ++i) {
        const bool negative = below(2) == 0;
        const std::uint64_t whole = below(100000000);
        std::string decimals;
        if (below(2) == 0) {
            decimals = std::to_string(below(10000) + 10000).substr(1) + "5" +
                       std::string(below(5), '0') + (below(3) == 0 ? "1" : "");
        } else {
            for (std::uint64_t n = below(11); n > 0; --n) {
                decimals.push_back(static_cast<char>('0' + below(10)));
            }
        }
        const std::string text =
            (negative ? "-" : "") + std::to_string(whole) + "." + decimals;

        std::uint64_t units = whole;
        for (const char digit : decimals) {
            units = units * 10 + static_cast<std::uint64_t>(digit - '0');
        }
        std::uint64_t step = 1;
        for (std::size_t n = decimals.size(); n < 4; ++n) {
            units *= 10;
        }
        for (std::size_t n = 4; n < decimals.size(); ++n) {
            step *= 10;
        }
        const std::uint64_t kept = units / step;
        const std::uint64_t rest = units % step;
        const bool up = 2 * rest > step || (2 * rest == step && kept % 2 == 1);
        const auto magnitude = static_cast<std::int64_t>(kept + (up ? 1 : 0));
        ASSERT_EQ(valueTextToFixedPoint(text), negative ? -magnitude : magnitude) << text;
    }
}

TEST(FixedPointConversion, FailsForNonNumbersAndBeyondSixtyFourBits) {
    const std::vector<FailRow> rows = {
        {"empty", "", errors::kTypeMismatch},
        {"brace after the digits", "1740248578}", errors::kTypeMismatch},
        {"quote before the digits", "\"1740248578", errors::kTypeMismatch},
        {"one above the largest", "922337203685477.5808", errors::kOverflow},
        {"one below the smallest", "-922337203685477.5809", errors::kOverflow},
        {"huge exponent", "1e30", errors::kOverflow},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(failureNumberOf([&] { valueTextToFixedPoint(row.text); }), row.number);
    }
}

struct GeneralRow {
    const char* name;
    double value;
    const char* separator;
    const char* expected;
};

TEST(GeneralNumber, WritesUpToFifteenDigitsWithTheLocaleSeparator) {
    const std::vector<GeneralRow> rows = {
        {"whole", 1.0, ".", "1"},
        {"negative whole", -5.0, ".", "-5"},
        {"comma separator", 5.5, ",", "5,5"},
        {"no group separators", 1234.5, ".", "1234.5"},
        {"binary tail dropped", 0.1 + 0.2, ".", "0.3"},
        {"fifteen significant digits", 123456789.123456789, ".", "123456789.123457"},
        {"huge value without exponent", 1e20, ".", "100000000000000000000"},
        {"small value without exponent", 0.000015, ".", "0.000015"},
        {"negative zero", -0.0, ".", "0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(generalNumber(row.value, row.separator), row.expected);
    }
}

TEST(ExportNumber, SignOrBlankThenDigitsThenOneBlank) {
    const std::vector<GeneralRow> rows = {
        {"export of a displayed value", -1234.5, ".", "-1234.5 "},
        {"whole value without decimals", -36.0, ".", "-36 "},
        {"zero gets a blank", 0.0, ".", " 0 "},
        {"negative zero gets a blank", -0.0, ".", " 0 "},
        {"locale separator", 12.5, ",", " 12,5 "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(exportNumber(row.value, row.separator), row.expected);
    }
    EXPECT_EQ(failureNumberOf([] { exportNumber(std::nan(""), "."); }), errors::kOverflow);
}

} // namespace
} // namespace quorvane::support
