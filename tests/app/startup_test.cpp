#include "apptesting.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

const std::string kStoredSettings =
    "Top=300\nLeft=450\nHeight=3560\nWidth=5265\nIP=127.0.0.2:9\nWrite=0\nOnTop=False\n";

TEST(StartUp, RunsItsStepsInOrder) {
    const AppPlaces places;
    writeFileBytes(places.work() / "mytoken.txt", "tok123");
    places.storeSettings(kStoredSettings);
    WindowRig rig("/opt/quorvane/Quorvane", "127.0.0.1:1 out.txt");

    // What the window looks like while each notice is up.
    struct Seen {
        std::string notice;
        bool visible;
        qsizetype menuActions;
        QString caption;
        QString ip;
        int clientHeight;
        double height;
        int zoneLookUps;
        bool polling;
    };
    std::vector<Seen> seen;
    ModalWatcher watcher([&](QWidget& modal) {
        const app::Quorvanefrm& window = *rig.window;
        seen.push_back({noticeText(modal), window.isVisible(), window.actions().size(),
                        window.windowTitle(), window.ipText(), window.height(),
                        window.outerHeight(), rig.zones.calls, window.timer().enabled()});
        press(modal, "cmdClose");
    });
    rig.window->Form_Load();

    ASSERT_EQ(seen.size(), 2u);
    // The token (step 4) comes after the menu and the showing (1-3), before everything else.
    EXPECT_EQ(seen[0].notice, "token with length 6\ntok123");
    EXPECT_TRUE(seen[0].visible);
    EXPECT_EQ(seen[0].menuActions, 5);
    EXPECT_EQ(seen[0].caption, "QuorvaneT");
    EXPECT_EQ(seen[0].ip, "192.168.1.64");
    EXPECT_EQ(seen[0].clientHeight, 1530 / 15);
    EXPECT_EQ(seen[0].zoneLookUps, 0);
    // The greeting (10) follows settings (5), caption (6), time zone (8) and command line (9).
    EXPECT_EQ(seen[1].notice, "ip 127.0.0.1:1\nWith file out.txt");
    EXPECT_EQ(seen[1].caption, "QuorvaneT V3.1.4");
    EXPECT_EQ(seen[1].ip, "127.0.0.1:1");
    EXPECT_EQ(seen[1].height, 3560);
    EXPECT_EQ(seen[1].zoneLookUps, 1);
    EXPECT_FALSE(seen[1].polling);
    // Polling (11) starts last; the first reading is one interval away.
    EXPECT_TRUE(rig.window->timer().enabled());
    EXPECT_EQ(rig.window->timer().interval(), 1000);
    EXPECT_TRUE(rig.http.requests.empty());
    EXPECT_FALSE(rig.window->ended());
}

struct GreetingCase {
    const char* name;
    const char* arguments;
    const char* greeting;
    // The output file's name an earlier run stored; none when null.
    const char* storedFile = nullptr;
};

void PrintTo(const GreetingCase& row, std::ostream* out) {
    *out << row.name;
}

class Greeting : public ::testing::TestWithParam<GreetingCase> {};

TEST_P(Greeting, NamesTheAddressAndTheFileAfterTheCommandLine) {
    const AppPlaces places;
    writeFileBytes(places.work() / "mytoken.txt", "tok");
    places.storeSettings(kStoredSettings + (GetParam().storedFile != nullptr
                                                ? "OutFile=" + std::string(GetParam().storedFile)
                                                : std::string()));
    WindowRig rig("/opt/quorvane/Quorvane", GetParam().arguments);
    std::string greeting;
    ModalWatcher watcher([&](QWidget& modal) {
        greeting = noticeText(modal);
        press(modal, "cmdClose");
    });
    rig.window->Form_Load();
    EXPECT_EQ(greeting, GetParam().greeting);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Greeting,
    ::testing::Values(GreetingCase{"NoArgumentsKeepsTheStoredAddress", "",
                                   "ip 127.0.0.2:9\nWith file E:\\Meters.txt"},
                      GreetingCase{"NoPeriodTakesNothing", "envoy out",
                                   "ip 127.0.0.2:9\nWith file E:\\Meters.txt"},
                      GreetingCase{"AddressReplacesTheStoredOne", "127.0.0.1:1",
                                   "ip 127.0.0.1:1\nWith file E:\\Meters.txt"},
                      GreetingCase{"FileNameKeepsItsBlanks", "127.0.0.1:1 my meters.txt",
                                   "ip 127.0.0.1:1\nWith file my meters.txt"},
                      GreetingCase{"EmptyFileNameStillTwoLines", "127.0.0.1:1 ",
                                   "ip 127.0.0.1:1\nWith file "},
                      GreetingCase{"NoArgumentsKeepsTheStoredFile", "",
                                   "ip 127.0.0.2:9\nWith file meters today.txt",
                                   "meters today.txt"},
                      GreetingCase{"AddressAloneKeepsTheStoredFile", "127.0.0.1:1",
                                   "ip 127.0.0.1:1\nWith file meters today.txt",
                                   "meters today.txt"},
                      GreetingCase{"FileNameReplacesTheStoredOne", "127.0.0.1:1 out.txt",
                                   "ip 127.0.0.1:1\nWith file out.txt", "meters today.txt"}),
    rowName<GreetingCase>);

struct VariantCase {
    const char* name;
    const char* programPath;
    bool consumption;
    QString label8;
    // What a screen reader calls the second phase's middle column.
    QString g2Name;
};

void PrintTo(const VariantCase& row, std::ostream* out) {
    *out << row.name;
}

class Variant : public ::testing::TestWithParam<VariantCase> {};

TEST_P(Variant, ChosenByTheExactExecutableName) {
    const AppPlaces places;
    writeFileBytes(places.work() / "mytoken.txt", "tok");
    WindowRig rig(GetParam().programPath);
    startUp(rig);
    EXPECT_EQ(rig.window->cycle().consumptionVariant(), GetParam().consumption);
    EXPECT_EQ(rig.find<QLabel>("Label8")->text(), GetParam().label8);
    EXPECT_EQ(rig.find<QWidget>("G2")->accessibleName(), GetParam().g2Name);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Variant,
    ::testing::Values(VariantCase{"QuorvaneB", "/opt/quorvane/QuorvaneB", true,
                                  "Solar" + QString(17, ' ') + "Consumption",
                                  "Phase 2 Consumption"},
                      VariantCase{"OtherLetterCase", "/opt/quorvane/quorvaneB", false,
                                  "   Solar" + QString(19, ' ') + "Grid" + QString(17, ' ') +
                                      "Amps" + QString(10, ' ') + "Volts",
                                  "Phase 2 Grid"}),
    rowName<VariantCase>);

} // namespace
} // namespace quorvane::testing
