// The token's expiry as the main window shows it: the TokenString tooltip, and the failure notice
// when the gateway (the simulator on 127.0.0.1) refuses the token.

#include "app/program.h"
#include "apptesting.h"
#include "madetoken.h"
#include "sim/gatewaysimulator.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

support::CalendarTime calendarTime(const QDateTime& moment) {
    const QDateTime local = moment.toLocalTime();
    return {local.date().year(), local.date().month(),  local.date().day(),
            local.time().hour(), local.time().minute(), local.time().second()};
}

// Noon of 14 March 2025 on the local clock; the window's clock starts on 22 February, 19:22:58.
const QDateTime kExpiry(QDate(2025, 3, 14), QTime(12, 0));
constexpr qint64 kDay = 24 * 60 * 60;

// Each test in its own folders, with the dates of en_US ("3/14/25").
struct TokenExpiryInTheWindow : ::testing::Test {
    TokenExpiryInTheWindow() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    ~TokenExpiryInTheWindow() override { QLocale::setDefault(previousLocale); }

    std::string toolTip(const WindowRig& rig) const {
        return rig.find<QPlainTextEdit>("TokenString")->toolTip().toStdString();
    }

    const QLocale previousLocale;
    const AppPlaces places;
};

TEST_F(TokenExpiryInTheWindow, ToolTipCountsTheDaysLeftOnEachTickAndTurnsToExpired) {
    writeFileBytes(places.work() / "mytoken.txt", tokenExpiringAt(kExpiry).toStdString());
    WindowRig rig;
    startUp(rig);
    EXPECT_EQ(toolTip(rig), "Token expires on 3/14/25 (19 days left)");

    struct Step {
        const char* name;
        QDateTime now;
        const char* toolTip;
    };
    // In this order on one window: each tick finds the text the moment calls for.
    const Step steps[] = {
        {"AnHourLater", QDateTime(QDate(2025, 2, 22), QTime(20, 22, 58)),
         "Token expires on 3/14/25 (19 days left)"},
        {"EighteenDaysLeftToTheSecond", kExpiry.addSecs(-18 * kDay),
         "Token expires on 3/14/25 (18 days left)"},
        {"OneSecondLaterTheSameDay", kExpiry.addSecs(-18 * kDay + 1),
         "Token expires on 3/14/25 (17 days left)"},
        {"LastSecond", kExpiry.addSecs(-1), "Token expires on 3/14/25 (0 days left)"},
        {"TheMomentItExpires", kExpiry, "Token expired on 3/14/25"},
        {"AYearLater", kExpiry.addSecs(365 * kDay), "Token expired on 3/14/25"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        rig.clock.now = calendarTime(step.now);
        rig.window->Timer1_Timer();
        EXPECT_EQ(toolTip(rig), step.toolTip);
    }
}

TEST_F(TokenExpiryInTheWindow, ToolTipFollowsTheTextOfTheBox) {
    writeFileBytes(places.work() / "mytoken.txt", "not-a-jwt");
    WindowRig rig;
    startUp(rig);
    EXPECT_EQ(toolTip(rig), "");

    struct Step {
        const char* name;
        QString text;
        const char* toolTip;
    };
    const Step steps[] = {
        {"JwtPastedIn", tokenExpiringAt(kExpiry), "Token expires on 3/14/25 (19 days left)"},
        {"NoJwt", QStringLiteral("0123456789abcdef"), ""},
        {"ExpiredJwt", tokenExpiringAt(kExpiry.addSecs(-365 * kDay)), "Token expired on 3/14/24"},
        {"JwtWithoutExp", makeToken(R"({"sub":"owner"})"), ""},
        {"JwtWithALineEnd", tokenExpiringAt(kExpiry) + "\n",
         "Token expires on 3/14/25 (19 days left)"},
        {"Emptied", QString(), ""},
    };
    auto* box = rig.find<QPlainTextEdit>("TokenString");
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        box->setPlainText(step.text);
        EXPECT_EQ(toolTip(rig), step.toolTip);
    }
}

struct RefusalCase {
    const char* name;
    QDateTime expiry;
    const char* notice;
};

void PrintTo(const RefusalCase& row, std::ostream* out) {
    *out << row.name;
}

class RefusedToken : public TokenExpiryInTheWindow,
                     public ::testing::WithParamInterface<RefusalCase> {};

// The window over the program's own gateway access, against the simulator, which accepts only
// its own token.
TEST_P(RefusedToken, FailureNoticeNamesTheExpiryOfAnExpiredToken) {
    sim::GatewaySimulator simulator;
    ASSERT_TRUE(simulator.listen()) << simulator.errorString().toStdString();
    writeFileBytes(places.work() / "mytoken.txt", tokenExpiringAt(GetParam().expiry).toStdString());
    app::GatewayAccess gateway;
    WindowRig rig;
    rig.window = std::make_unique<app::Quorvanefrm>(app::WindowServices{
        gateway.http(), gateway.replyBox(), rig.clock, rig.locale, rig.zones, *rig.settings,
        "/opt/quorvane/Quorvane", simulator.address().toStdString() + " out.txt",
        [&gateway] { gateway.endRequest(); }, {}});
    startUp(rig);

    std::vector<std::string> notices;
    const ModalWatcher watcher([&notices](QWidget& modal) {
        notices.push_back(noticeText(modal));
        press(modal, "cmdClose");
    });
    rig.window->Timer1_Timer();
    EXPECT_EQ(simulator.requestsServed(), 1);
    EXPECT_EQ(notices, std::vector<std::string>{GetParam().notice});
    EXPECT_EQ(rig.window->text(reading::Box::TimeStamp), "Wrong/No IP address");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedToken,
    ::testing::Values(
        RefusalCase{"Expired", QDateTime(QDate(2024, 1, 2), QTime(12, 0), QTimeZone::utc()),
                    "API Call Failed: Error 401: Unauthorized (token expired on 1/2/24)"},
        RefusalCase{"StillValid", QDateTime(QDate(2099, 1, 2), QTime(12, 0), QTimeZone::utc()),
                    "API Call Failed: Error 401: Unauthorized"}),
    rowName<RefusalCase>);

} // namespace
} // namespace quorvane::testing
