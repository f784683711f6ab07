#include "app/tokenexpiry.h"
#include "common/testdoubles.h"
#include "madetoken.h"

#include <QByteArray>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace quorvane::app {
namespace {

template <class Row> std::string rowName(const ::testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

using quorvane::testing::base64Url;
using quorvane::testing::makeToken;
using quorvane::testing::tokenExpiringAt;

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
// 10 March 2025, 12:00 at UTC+2.
const QDateTime kNow(QDate(2025, 3, 10), QTime(12, 0), QTimeZone(2 * 3600));
const QDateTime kExpiry(QDate(2025, 3, 14), QTime(23, 30), QTimeZone::utc());

TEST(TokenExpiry, ReadsTheExpClaimAsAMomentInUtc) {
    const std::optional<QDateTime> expiry =
        tokenExpiry(makeToken(R"({"sub":"x","exp":1742000000})"));
    ASSERT_TRUE(expiry.has_value());
    EXPECT_EQ(*expiry, QDateTime::fromSecsSinceEpoch(1742000000, QTimeZone::utc()));
    EXPECT_EQ(expiry->timeSpec(), Qt::UTC);
}

TEST(TokenExpiry, KeepsTheMillisecondsOfAFractionalClaim) {
    const std::optional<QDateTime> expiry = tokenExpiry(makeToken(R"({"exp":1742000000.25})"));
    ASSERT_TRUE(expiry.has_value());
    EXPECT_EQ(expiry->toMSecsSinceEpoch(), 1742000000250);
}

struct TokenCase {
    const char* name;
    QString token;
};

void PrintTo(const TokenCase& row, std::ostream* out) {
    *out << row.name;
}

class ReadableToken : public ::testing::TestWithParam<TokenCase> {};

TEST_P(ReadableToken, GivesTheExpiry) {
    const std::optional<QDateTime> expiry = tokenExpiry(GetParam().token);
    ASSERT_TRUE(expiry.has_value());
    EXPECT_EQ(expiry->toSecsSinceEpoch(), 1742000000);
}

// {"exp":1742000000,"n":"a"} is 26 bytes, so its standard encoding ends in one "=".
const QByteArray kPaddedPayload = R"({"exp":1742000000,"n":"a"})";

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadableToken,
    ::testing::Values(
        TokenCase{"Unpadded", makeToken(kPaddedPayload)},
        TokenCase{"PaddedPayload",
                  base64Url("{}") + '.' +
                      QString::fromLatin1(kPaddedPayload.toBase64(QByteArray::Base64UrlEncoding)) +
                      ".c2ln"},
        TokenCase{"SurroundingWhiteSpace", " \t" + makeToken(R"({"exp":1742000000})") + "\r\n"},
        TokenCase{"EmptySignature",
                  base64Url(R"({"alg":"none"})") + '.' + base64Url(R"({"exp":1742000000})") + '.'}),
    rowName<TokenCase>);

class UnreadableToken : public ::testing::TestWithParam<TokenCase> {};

TEST_P(UnreadableToken, HasNoExpiryAndNoToolTip) {
    EXPECT_EQ(tokenExpiry(GetParam().token), std::nullopt);
    EXPECT_EQ(tokenExpiryToolTip(GetParam().token, kNow, kEnglish), QString());
    EXPECT_EQ(expiredSuffix(GetParam().token, kNow, kEnglish), QString());
}

const QString kHeader = base64Url(R"({"alg":"ES256"})");
const QString kValidPayload = base64Url(R"({"exp":1742000000})");

INSTANTIATE_TEST_SUITE_P(
    Cases, UnreadableToken,
    ::testing::Values(
        TokenCase{"Empty", ""}, TokenCase{"NoDots", "0123456789abcdef0123456789abcdef"},
        TokenCase{"TwoParts", kHeader + '.' + kValidPayload},
        TokenCase{"FourParts", kHeader + '.' + kValidPayload + ".c2ln.c2ln"},
        TokenCase{"DotInsideTheToken", kHeader + '.' + kValidPayload + " ." + "c2ln"},
        TokenCase{"TwoDotsButBadBase64", kHeader + ".eyJl*HAiOjF9.c2ln"},
        TokenCase{"StandardBase64Letters", kHeader + ".eyJleHAiOjE3NDIw+/AwfQ.c2ln"},
        TokenCase{"WrongPadding", kHeader + '.' + kValidPayload + "=.c2ln"},
        TokenCase{"NonAsciiPayload", kHeader + ".eyJleHAiOjF9\u00e9.c2ln"},
        TokenCase{"PayloadNotJson", kHeader + '.' + base64Url("exp=1742000000") + ".c2ln"},
        TokenCase{"PayloadJsonArray", kHeader + '.' + base64Url("[1742000000]") + ".c2ln"},
        TokenCase{"HeaderNotJson", base64Url("ES256") + '.' + kValidPayload + ".c2ln"},
        TokenCase{"ExpMissing", makeToken(R"({"iat":1742000000})")},
        TokenCase{"ExpString", makeToken(R"({"exp":"1742000000"})")},
        TokenCase{"ExpBoolean", makeToken(R"({"exp":true})")},
        TokenCase{"ExpNull", makeToken(R"({"exp":null})")},
        TokenCase{"ExpNested", makeToken(R"({"claims":{"exp":1742000000}})")},
        TokenCase{"ExpNegative", makeToken(R"({"exp":-1})")},
        TokenCase{"ExpBeyondYear9999", makeToken(R"({"exp":253402300800})")}),
    rowName<TokenCase>);

struct ToolTipCase {
    const char* name;
    QDateTime expiry;
    QString toolTip;
    QString suffix;
};

void PrintTo(const ToolTipCase& row, std::ostream* out) {
    *out << row.name;
}

class ExpiryToolTip : public ::testing::TestWithParam<ToolTipCase> {};

TEST_P(ExpiryToolTip, NamesTheDateAndTheWholeDaysLeft) {
    const QString token = tokenExpiringAt(GetParam().expiry);
    EXPECT_EQ(tokenExpiryToolTip(token, kNow, kEnglish), GetParam().toolTip);
    EXPECT_EQ(expiredSuffix(token, kNow, kEnglish), GetParam().suffix);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExpiryToolTip,
    ::testing::Values(ToolTipCase{"DaysLeftRoundDown", kNow.addDays(3).addSecs(23 * 3600),
                                  "Token expires on 3/14/25 (3 days left)", ""},
                      ToolTipCase{"ExactlyOneDayLeft", kNow.addDays(1),
                                  "Token expires on 3/11/25 (1 day left)", ""},
                      ToolTipCase{"OneSecondShortOfTwoDays", kNow.addDays(2).addSecs(-1),
                                  "Token expires on 3/12/25 (1 day left)", ""},
                      ToolTipCase{"LastSecond", kNow.addSecs(1),
                                  "Token expires on 3/10/25 (0 days left)", ""},
                      ToolTipCase{"ExpiresExactlyNow", kNow, "Token expired on 3/10/25",
                                  " (token expired on 3/10/25)"},
                      ToolTipCase{"ExpiredLongAgo", kNow.addDays(-400), "Token expired on 2/4/24",
                                  " (token expired on 2/4/24)"}),
    rowName<ToolTipCase>);

struct DateCase {
    const char* name;
    QDateTime now;
    QLocale locale;
    QString toolTip;
};

void PrintTo(const DateCase& row, std::ostream* out) {
    *out << row.name;
}

class ExpiryDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(ExpiryDate, IsTheShortDateInTheZoneOfNow) {
    EXPECT_EQ(tokenExpiryToolTip(tokenExpiringAt(kExpiry), GetParam().now, GetParam().locale),
              GetParam().toolTip);
}

// kExpiry is 14 March 23:30 UTC, already the 15th east of Greenwich.
INSTANTIATE_TEST_SUITE_P(
    Cases, ExpiryDate,
    ::testing::Values(
        DateCase{"UtcClock", kNow.toUTC(), kEnglish, "Token expires on 3/14/25 (4 days left)"},
        DateCase{"ClockEastOfUtc", kNow, kEnglish, "Token expires on 3/15/25 (4 days left)"},
        DateCase{"ClockWestOfUtc", kNow.toTimeZone(QTimeZone(-5 * 3600)), kEnglish,
                 "Token expires on 3/14/25 (4 days left)"},
        DateCase{"GermanLocale", kNow, QLocale(QLocale::German, QLocale::Germany),
                 "Token expires on 15.03.25 (4 days left)"}),
    rowName<DateCase>);

class TokenExpiryNoteTest : public ::testing::Test {
protected:
    std::string get(const QString& token, std::string errorText = {}) {
        std::string reply;
        note.ApiGet("https://127.0.0.1/ivp/meters/readings", token.toStdString(), reply, errorText);
        return errorText;
    }

    quorvane::testing::ScriptedHttp http;
    TokenExpiryNote note{http, [] { return kNow; }, kEnglish};
    const QString expired = tokenExpiringAt(kNow.addDays(-5));
};

TEST_F(TokenExpiryNoteTest, AddsTheExpiryToARefusalOfAnExpiredToken) {
    http.fallback.errorText = "Error 401: Unauthorized";
    EXPECT_EQ(get(expired), "Error 401: Unauthorized (token expired on 3/5/25)");
    ASSERT_EQ(http.requests.size(), 1U);
    EXPECT_EQ(http.requests[0].second, expired.toStdString());
}

TEST_F(TokenExpiryNoteTest, LeavesOtherTextsAsTheyAre) {
    http.fallback.errorText = "Error 401: Unauthorized";
    EXPECT_EQ(get(tokenExpiringAt(kNow.addDays(5))), "Error 401: Unauthorized");
    EXPECT_EQ(get("not-a-jwt"), "Error 401: Unauthorized");

    http.fallback.errorText = "Error 403: Forbidden";
    EXPECT_EQ(get(expired), "Error 403: Forbidden");
    http.fallback.errorText = "Error 4010: Unauthorized";
    EXPECT_EQ(get(expired), "Error 4010: Unauthorized");
}

TEST_F(TokenExpiryNoteTest, SuccessKeepsTheCallersTextAndGivesTheReply) {
    http.fallback.reply = R"([{"eid":1}])";
    std::string reply;
    std::string errorText = "Error 401: Unauthorized";
    note.ApiGet("https://127.0.0.1/", expired.toStdString(), reply, errorText);
    EXPECT_EQ(reply, R"([{"eid":1}])");
    EXPECT_EQ(errorText, "Error 401: Unauthorized");
}

} // namespace
} // namespace quorvane::app
