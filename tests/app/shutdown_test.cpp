#include "app/endsignals.h"
#include "apptesting.h"

#include <QSettings>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

using reading::Box;

// A window started with the token "tok" from its file, the greeting closed, polling running.
struct Running : ::testing::Test {
    void SetUp() override {
        writeFileBytes(places.work() / "mytoken.txt", "tok");
        startUp(rig);
        ASSERT_TRUE(rig.window->timer().enabled());
    }

    QString stored(const char* key) const {
        QSettings file(QString::fromStdString(places.settingsFile().string()),
                       QSettings::IniFormat);
        return file.value(QStringLiteral("Settings/") + key).toString();
    }

    AppPlaces places;
    WindowRig rig{"/opt/quorvane/Quorvane", "127.0.0.1:1 out.txt"};
};

TEST_F(Running, ClosingSavesTheSettingsAndStopsPolling) {
    rig.window->close();
    EXPECT_TRUE(rig.window->closing());
    EXPECT_FALSE(rig.window->ended());
    EXPECT_FALSE(rig.window->timer().enabled());
    EXPECT_EQ(stored("IP"), "127.0.0.1:1");
    EXPECT_EQ(stored("OnTop"), "False");
    EXPECT_EQ(rig.endRequests, 1);
}

TEST_F(Running, ClosingDuringAFailureNoticeEndsTheCycleAtOnceWithoutWriting) {
    rig.window->setWriteCheckValue(1);
    rig.http.fallback.errorText = "Error -2147012867: Cannot connect";
    std::string notice;
    ModalWatcher watcher([&](QWidget& modal) {
        notice = noticeText(modal);
        rig.window->close();
    });
    rig.window->Timer1_Timer();
    EXPECT_EQ(notice, "API Call Failed: Error -2147012867: Cannot connect");
    EXPECT_EQ(rig.window->notice(), nullptr);
    EXPECT_FALSE(rig.window->cycle().running());
    EXPECT_EQ(rig.http.requests.size(), 1u);
    EXPECT_EQ(rig.endRequests, 1);
    EXPECT_FALSE(std::filesystem::exists(places.work() / "out.txt"));
    EXPECT_EQ(stored("Write"), "1");
}

TEST(ClosingWhileStarting, BeforeTheSettingsAreRestoredSavesNothing) {
    const AppPlaces places;
    writeFileBytes(places.work() / "mytoken.txt", "tok");
    places.storeSettings("Top=0\nLeft=0\nIP=127.0.0.2:9\n");
    const std::string stored = readFileBytes(places.settingsFile());
    WindowRig rig;
    ModalWatcher watcher([&](QWidget&) { rig.window->close(); });
    rig.window->Form_Load();
    EXPECT_EQ(watcher.seen(), 1);
    EXPECT_TRUE(rig.window->ended());
    EXPECT_FALSE(rig.window->timer().enabled());
    EXPECT_EQ(readFileBytes(places.settingsFile()), stored);
}

class EndSignal : public Running, public ::testing::WithParamInterface<int> {};

TEST_P(EndSignal, ClosesTheWindowAsTheCloseBoxDoes) {
    app::EndSignals endSignals;
    ASSERT_TRUE(endSignals.installed());
    QObject::connect(&endSignals, &app::EndSignals::endRequested, rig.window.get(),
                     &QWidget::close);
    ASSERT_EQ(std::raise(GetParam()), 0);
    ASSERT_TRUE(QTest::qWaitFor([this] { return rig.window->closing(); }));
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_EQ(stored("IP"), "127.0.0.1:1");
}

INSTANTIATE_TEST_SUITE_P(Signals, EndSignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& row) {
                             return std::string(row.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

} // namespace
} // namespace quorvane::testing
