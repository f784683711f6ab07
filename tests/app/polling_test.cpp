#include "apptesting.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

using reading::Box;

// A shown, active window polling a scripted gateway at a loopback address, not yet started.
struct Polling : ::testing::Test {
    void SetUp() override {
        rig.http.clock = &rig.clock;
        rig.http.turnaround = 250;
        rig.window->setText(Box::IP, "127.0.0.1:1");
        rig.window->show();
        rig.window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    }

    // Types `text` into the Delay box and moves the focus on.
    void enterDelay(const QString& text) {
        auto* delay = rig.find<QLineEdit>("Delay");
        delay->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([delay] { return delay->hasFocus(); }));
        delay->setText(text);
        QWidget* next = rig.find<QWidget>("Production");
        next->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([next] { return next->hasFocus(); }));
    }

    void click(const char* button) {
        QTest::mouseClick(rig.find<QPushButton>(button), Qt::LeftButton);
    }

    AppPlaces places;
    WindowRig rig;
};

TEST_F(Polling, StartTicksOneIntervalLaterAndEachTickReadsThenShowsTheTime) {
    enterDelay("30");
    click("Startbtn");
    EXPECT_TRUE(rig.http.requests.empty());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !rig.http.requests.empty(); }));
    EXPECT_EQ(rig.window->text(Box::Turnaround), "250 ms");
    EXPECT_EQ(rig.window->text(Box::MyTime), "19:22:58");
    EXPECT_EQ(rig.window->text(Box::TimeStamp), "Wrong/No IP address");

    click("Stopbtn");
    EXPECT_FALSE(rig.window->timer().ticking());
    click("Startbtn");
    EXPECT_TRUE(rig.window->timer().ticking());
}

struct DelayCase {
    const char* name;
    const char* typed;
    int interval;
    const char* shown;
    bool ticking;
};

void PrintTo(const DelayCase& row, std::ostream* out) {
    *out << row.name;
}

class DelayBox : public Polling, public ::testing::WithParamInterface<DelayCase> {};

TEST_P(DelayBox, LeavingTheBoxSetsTheIntervalOrRefusesTheText) {
    click("Startbtn");
    enterDelay(GetParam().typed);
    EXPECT_EQ(rig.window->timer().interval(), GetParam().interval);
    EXPECT_EQ(rig.window->text(Box::Delay), GetParam().shown);
    EXPECT_EQ(rig.window->timer().ticking(), GetParam().ticking);
    EXPECT_TRUE(rig.window->timer().enabled());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DelayBox,
    ::testing::Values(DelayCase{"Shorter", "250", 250, "250", true},
                      DelayCase{"Longest", "65535", 65535, "65535", true},
                      DelayCase{"BlanksAround", " 300 ", 300, " 300 ", true},
                      DelayCase{"ZeroStopsTheTicks", "0", 0, "0", false},
                      DelayCase{"LettersRefused", "abc", 1000, "1000", true},
                      DelayCase{"TooLargeRefused", "70000", 1000, "1000", true},
                      DelayCase{"NegativeRefused", "-1", 1000, "1000", true},
                      DelayCase{"FractionRefused", "2.5", 1000, "1000", true},
                      DelayCase{"EmptyRefused", "", 1000, "1000", true},
                      DelayCase{"ArabicIndicDigits", "٢٥٠", 250, "٢٥٠", true},
                      DelayCase{"PersianDigits", "۲۵۰", 250, "۲۵۰", true},
                      DelayCase{"DevanagariDigits", "२५०", 250, "२५०", true},
                      DelayCase{"DevanagariTooLargeRefused", "७००००", 1000, "1000", true},
                      DelayCase{"BeyondThirtyTwoBitsRefused", "4294967546", 1000, "1000", true},
                      DelayCase{"SuperscriptRefused", "2²", 1000, "1000", true}),
    rowName<DelayCase>);

TEST_F(Polling, ZeroDelayHoldsThroughStartUntilAnotherDelay) {
    enterDelay("0");
    click("Startbtn");
    EXPECT_FALSE(rig.window->timer().ticking());
    enterDelay("20");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !rig.http.requests.empty(); }));
}

TEST_F(Polling, ANoticeWhileTheDelayIsTypedTakesNothingTabThenTakesIt) {
    auto* delay = rig.find<QLineEdit>("Delay");
    delay->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([delay] { return delay->hasFocus(); }));
    delay->clear();
    QTest::keyClicks(delay, "25");
    ModalWatcher watcher([](QWidget& modal) { press(modal, "cmdClose"); });
    rig.window->TestTimeoutMsgBox("API Call Failed: Error 1: x", 0);
    EXPECT_EQ(watcher.seen(), 1);
    EXPECT_EQ(rig.window->timer().interval(), 1000);
    EXPECT_EQ(rig.window->text(Box::Delay), "25");

    rig.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([delay] { return delay->hasFocus(); }));
    QTest::keyClicks(delay, "0");
    QTest::keyClick(delay, Qt::Key_Tab);
    EXPECT_EQ(rig.window->timer().interval(), 250);
}

TEST_F(Polling, FailurePassedOutOfACycleIsOneLineOnStandardErrorAndPollingGoesOn) {
    // Two time stamps that are no numbers: the second failure leaves the cycle.
    rig.http.fallback.reply = "{\"timestamp\": \"abc\"},{\"timestamp\": \"def\"}";
    rig.window->setText(Box::MyTime, "before");
    ::testing::internal::CaptureStderr();
    rig.window->Timer1_Timer();
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, "Quorvane: reading failed: Error 13: Type mismatch\n");
    EXPECT_EQ(rig.window->text(Box::MyTime), "before");

    rig.http.fallback.reply = "{}";
    enterDelay("20");
    click("Startbtn");
    ASSERT_TRUE(QTest::qWaitFor([this] { return rig.http.requests.size() >= 2; }));
}

struct SizeCase {
    const char* name;
    double height;
    double width;
    const char* clicked;
    double expectedWidth;
    double expectedHeight;
};

void PrintTo(const SizeCase& row, std::ostream* out) {
    *out << row.name;
}

class DoubleClick : public Polling, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(DoubleClick, SwitchesThePanelsByTheWindowHeight) {
    rig.window->setOuterHeight(GetParam().height);
    rig.window->setOuterWidth(GetParam().width);
    QTest::mouseDClick(rig.find<QWidget>(GetParam().clicked), Qt::LeftButton);
    EXPECT_EQ(rig.window->outerWidth(), GetParam().expectedWidth);
    EXPECT_EQ(rig.window->outerHeight(), GetParam().expectedHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DoubleClick,
    ::testing::Values(SizeCase{"GridShowsThePhases", 2160, 4575, "Grid", 5265, 3560},
                      SizeCase{"GridHidesThePhasesAndSettings", 3560, 9165, "Grid", 5265, 2160},
                      SizeCase{"GridAt2530TakesPhasesAsShown", 2530, 5265, "Grid", 5265, 2160},
                      SizeCase{"GridJustBelow2500", 2490, 5265, "Grid", 5265, 3560},
                      SizeCase{"IPAt2530TakesPhasesAsHidden", 2530, 9165, "IP", 4575, 2530},
                      SizeCase{"IPAt2560KeepsThePhaseColumns", 2560, 9165, "IP", 5265, 2560},
                      SizeCase{"IPWithPhasesShown", 3560, 9165, "IP", 5265, 3560}),
    rowName<SizeCase>);

TEST_F(Polling, TickingWriteNarrowsTheWindowAndClearingItDoesNotWiden) {
    rig.window->setOuterWidth(9165);
    auto* write = rig.find<QCheckBox>("CreateOutputchk");
    QTest::mouseClick(write, Qt::LeftButton);
    EXPECT_TRUE(write->isChecked());
    EXPECT_EQ(rig.window->outerWidth(), 5265);
    rig.window->setOuterWidth(9165);
    QTest::mouseClick(write, Qt::LeftButton);
    EXPECT_FALSE(write->isChecked());
    EXPECT_EQ(rig.window->outerWidth(), 9165);
}

} // namespace
} // namespace quorvane::testing
