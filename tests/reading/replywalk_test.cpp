#include "reading/cyclerig.h"

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

using reading::colours::kGreen;
using reading::colours::kLightRed;
using reading::colours::kWindowBackground;

struct WalkRow {
    const char* name;
    std::vector<std::string> items;
    Texts texts;
};

void PrintTo(const WalkRow& row, std::ostream* out) {
    *out << row.name;
}

// Edge cases of the walk, each on a fresh window.
const std::vector<WalkRow> kWalkRows = {
    {"ReactivePowerIsNeverActivePower",
     {item("reactivePower", "5"), item("activePower", "7")},
     {{Box::Production, "7.0"}}},
    {"ReactivePowerEntryIsNotTestedForOtherKeys",
     {item("voltage", "1"), item("reactivePower voltage", "9"), item("voltage", "230")},
     {{Box::V1, "230.0"}}},
    {"OpeningBracketSkipsTheEntry",
     {"[{\"activePower\": 9", item("activePower", "7"), item("activePower", "8")},
     {{Box::Production, "7.0"}, {Box::S1, "8.0"}}},
    {"ClosingBracketSkipsTheEntry",
     {item("activePower", "7"), item("activePower", "9]"), item("activePower", "8")},
     {{Box::Production, "7.0"}, {Box::S1, "8.0"}}},
    {"EntryWithTwoKeysIsHandledByBothInOrder",
     readings("pwrFactor current", {"1", "1", "1", "1", "1", "-2"}),
     {{Box::A1, "4.0"}}},
    {"OneEntryWithoutCommaIsWalkedOnce", {"\"activePower\": 7"}, {{Box::Production, "7.0"}}},
    {"KeyAtTheVeryStartOfTheReply", {"activePower: 7"}, {{Box::Production, "7.0"}}},
    {"KeyAfterAnotherKeyWithTheSameLettersInOneEntry",
     {item("apparentPower", "3"), item("apparentPower/activePower", "7")},
     {{Box::Production, "7.0"}}},
    {"ValueEndsAtASecondColon", {item("activePower", "7: 8")}, {{Box::Production, "7.0"}}},
    {"MissingReadingShiftsLaterOrdinals",
     readings("activePower", {"1", "2", "3", "4", "5", "-7", "8"}),
     {{Box::G1, "7.0"}, {Box::G2, "8.0"}, {Box::G3, "0"}}},
    {"NinthAndLaterReadingsChangeNothing",
     readings("activePower", {"1", "2", "3", "4", "5", "6", "7", "8.4", "9", "10"}),
     {{Box::G3, "8.0"}, {Box::G1, "6.0"}, {Box::S1, "2.0"}, {Box::Grid, "5.0"}}},
    {"OnlyTheFirstTimeStampIsShown",
     {item("timestamp", "1740248578"), item("timestamp", "1740248579")},
     {{Box::TimeStamp, "2025-02-22 19:22:58"}}},
    {"TimeStampShorterThan23CharactersStaysZero",
     {"\"timestamp\": 17402485", item("activePower", "1")},
     {{Box::TimeStamp, "0"}, {Box::Production, "1.0"}}},
    {"TimeStampTakesAtMost12Characters",
     {item("timestamp", "  1740248578  9")},
     {{Box::TimeStamp, "2025-02-22 19:22:58"}}},
};

class ReplyWalk : public ::testing::TestWithParam<WalkRow> {};

TEST_P(ReplyWalk, SortsEntriesByKeyAndOrder) {
    CycleRig rig;
    rig.read(reply(GetParam().items));
    expectBoxes(rig.boxes, GetParam().texts);
}

INSTANTIATE_TEST_SUITE_P(ReadingCycle, ReplyWalk, ::testing::ValuesIn(kWalkRows), RowName());

struct PowerRow {
    const char* name;
    bool consumptionVariant;
    std::vector<std::string> items;
    Texts texts;
    Colours colours;
};

void PrintTo(const PowerRow& row, std::ostream* out) {
    *out << row.name;
}

constexpr std::uint32_t kBefore = 0x123456;

const std::vector<PowerRow> kPowerRows = {
    {"ExportTurnsGridGreenAndDropsTheSign",
     false,
     readings("activePower", {"1234.56", "1", "2", "3", "-812.34"}),
     {{Box::Production, "1,234.6"}, {Box::Grid, "812.3"}, {Box::Consumption, "422.3"}},
     {{Box::Grid, kGreen}}},
    {"ConsumptionVariantShowsTheSecondMeterAndDerivesGrid",
     true,
     readings("activePower", {"1234.56", "1", "2", "3", "2046.92"}),
     {{Box::Consumption, "2,046.9"}, {Box::Grid, "812.3"}},
     {{Box::Grid, kLightRed}}},
    {"ZeroGridIsImport",
     false,
     readings("activePower", {"5", "1", "2", "3", "-0.04"}),
     {{Box::Grid, "0.0"}, {Box::Consumption, "5.0"}},
     {{Box::Grid, kLightRed}}},
    {"ExportPhasesTurnGreenAndG3RoundsToWhole",
     false,
     readings("activePower", {"0", "0", "0", "0", "0", "-1204.56", "-1204.56", "-1204.56"}),
     {{Box::G1, "1,204.6"}, {Box::G2, "1,204.6"}, {Box::G3, "1,205.0"}},
     {{Box::G1, kGreen}, {Box::G2, kGreen}, {Box::G3, kGreen}}},
    {"ConsumptionVariantPhasesTakeTheWindowColour",
     true,
     readings("activePower", {"0", "0", "0", "0", "0", "-1204.56", "12.25", "2.5"}),
     {{Box::G1, "1,204.6"}, {Box::G2, "12.2"}, {Box::G3, "2.0"}},
     {{Box::G1, kWindowBackground}, {Box::G2, kWindowBackground}, {Box::G3, kWindowBackground}}},
    {"FirstMeterOnlyLeavesGridAndConsumption",
     false,
     readings("activePower", {"1", "-2", "3", "4"}),
     {{Box::Production, "1.0"},
      {Box::S1, "-2.0"},
      {Box::Grid, "0"},
      {Box::G1, "0"},
      {Box::Consumption, "Before"}},
     {{Box::Grid, kBefore}, {Box::G1, kBefore}}},
};

class PowerRules : public ::testing::TestWithParam<PowerRow> {};

TEST_P(PowerRules, FillMainAndPhaseBoxesWithTheirColours) {
    const auto& row = GetParam();
    CycleRig rig;
    rig.cycle.setConsumptionVariant(row.consumptionVariant);
    // Colours and Consumption are never reset by a cycle: start them on something else.
    rig.showBefore(Box::Consumption, "Before");
    for (Box box : {Box::Grid, Box::G1, Box::G2, Box::G3}) {
        rig.showBefore(box, kBefore);
    }
    rig.read(reply(row.items));
    expectBoxes(rig.boxes, row.texts, row.colours);
}

INSTANTIATE_TEST_SUITE_P(ReadingCycle, PowerRules, ::testing::ValuesIn(kPowerRows), RowName());

struct FailureRow {
    const char* name;
    std::function<void(CycleRig&)> arrange;
    std::vector<std::string> items;
    // The failure number passed out of the cycle; 0 when the cycle ends normally.
    int passedOut;
    bool saved;
    Texts texts;
    Colours colours = {};
};

void PrintTo(const FailureRow& row, std::ostream* out) {
    *out << row.name;
}

const std::string kBadStamp = item("timestamp", "17x");

const std::vector<FailureRow> kFailureRows = {
    {"DialogVisibilityFailureEndsTheCycle",
     [](CycleRig& rig) { rig.dialogFails = true; },
     readings("activePower", {"1"}),
     0,
     false,
     {{Box::Turnaround, "0"}, {Box::Production, "0"}}},
    {"NoticeFailureStillDropsTheOldReply",
     [](CycleRig& rig) {
         rig.read(reply(readings("activePower", {"42"})));
         rig.showBefore(Box::Production, "1");
         rig.http.answers.push_back({"", "Error 5: refused"});
         rig.notices.whileShown = [] { support::raise(support::errors::kFormAlreadyShown); };
     },
     {},
     0,
     true,
     {{Box::Production, "1"}, {Box::TimeStamp, "Wrong/No IP address"}, {Box::Turnaround, "0 ms"}}},
    {"BadTimeStampGoesOnWithTheSameEntrysKeys",
     nullptr,
     {item("activePower timestamp", "500"), item("timestamp", "1740248578")},
     0,
     true,
     {{Box::Production, "500.0"}, {Box::TimeStamp, "2025-02-22 19:22:58"}}},
    {"SecondBadTimeStampEndsTheCycleBeforeSave",
     nullptr,
     {kBadStamp, item("activePower", "7"), kBadStamp, item("activePower", "8")},
     support::errors::kTypeMismatch,
     false,
     {{Box::Production, "7.0"}, {Box::S1, "0"}}},
    {"UnreadableVoltageIsStillCounted",
     nullptr,
     readings("voltage", {"1", "x", "230"}) + readings("activePower", {"3"}),
     0,
     true,
     {{Box::V1, "0"}, {Box::V2, "230.0"}, {Box::Production, "3.0"}}},
    {"UnreadableEntryFailsAgainAtItsNextKey",
     nullptr,
     {"\n        \"voltage current\" 5", item("activePower", "3")},
     support::errors::kTypeMismatch,
     false,
     {{Box::Production, "0"}}},
    {"UnreadablePowerShowsThePreviousValue",
     nullptr,
     readings("activePower", {"1000", "one", "2"}),
     0,
     true,
     {{Box::Production, "1,000.0"}, {Box::S1, "1,000.0"}, {Box::S2, "2.0"}}},
    {"UnreadableFirstPowerShowsZero",
     nullptr,
     readings("activePower", {"\"n/a\"", "2"}),
     0,
     true,
     {{Box::Production, "0.0"}, {Box::S1, "2.0"}}},
    {"UnreadableEighthPowerEndsTheCycleThroughG3",
     nullptr,
     readings("activePower", {"1", "1", "1", "1", "1", "1", "1", "}"}),
     support::errors::kTypeMismatch,
     false,
     {{Box::G2, "1.0"}, {Box::G3, "0"}}},
    {"OverflowingConsumptionSkipsOnlyThatStep",
     [](CycleRig& rig) { rig.showBefore(Box::Grid, kGreen); },
     readings("activePower", {"1.7e308", "0", "0", "0", "1.7e308", "-5"}),
     0,
     true,
     {{Box::Consumption, "0"}, {Box::G1, "5.0"}},
     {{Box::Grid, kLightRed}, {Box::G1, kGreen}}},
    {"OverflowAfterAnAbsorbedFailureEndsTheCycleInTheGridSteps",
     [](CycleRig& rig) { rig.showBefore(Box::Grid, kGreen); },
     readings("activePower", {"1.7e308", "x", "0", "0", "1.7e308"}),
     support::errors::kOverflow,
     false,
     {{Box::Consumption, "0"}},
     {{Box::Grid, kGreen}}},
    {"SaveFailureEndsTheCycleQuietly",
     [](CycleRig& rig) {
         rig.boxes.setText(Box::OutFile, (rig.dir / "missing" / "Meters.txt").string());
     },
     readings("activePower", {"9"}),
     0,
     false,
     {{Box::Production, "9.0"}}},
    {"CounterOverflowIsAbsorbedOnce",
     nullptr,
     std::vector<std::string>(32768, "\"voltage\": 1") + readings("activePower", {"4"}),
     0,
     true,
     {{Box::Production, "4.0"}}},
    {"SecondCounterOverflowPassesOut",
     nullptr,
     std::vector<std::string>(32769, "\"voltage\": 1") + readings("activePower", {"4"}),
     support::errors::kOverflow,
     false,
     {{Box::Production, "0"}}},
};

class FailureTable : public ::testing::TestWithParam<FailureRow> {};

TEST_P(FailureTable, FirstFailureResumesAndSecondPassesToTheCaller) {
    const auto& row = GetParam();
    CycleRig rig;
    if (row.arrange) {
        row.arrange(rig);
    }
    std::filesystem::remove(rig.outPath());
    if (!row.items.empty()) {
        rig.http.answers.push_back({reply(row.items), ""});
    }
    int passedOut = 0;
    try {
        rig.cycle.QuorvaneRead();
    } catch (const support::RunTimeError& error) {
        passedOut = error.failure().number;
    }
    EXPECT_EQ(passedOut, row.passedOut);
    EXPECT_FALSE(rig.cycle.running());
    EXPECT_EQ(std::filesystem::exists(rig.outPath()), row.saved);
    expectBoxes(rig.boxes, row.texts, row.colours);
}

INSTANTIATE_TEST_SUITE_P(ReadingCycle, FailureTable, ::testing::ValuesIn(kFailureRows), RowName());

TEST(ReadingCycle, TimeStampBeforeTheYear100IsLoggedAndShownAsTheZeroDate) {
    CycleRig rig;
    rig.read(reply({item("timestamp", "-99999999999")}));
    EXPECT_EQ(rig.boxes.text(Box::TimeStamp), "1899-12-30 00:00:00");
    const std::string logged = readFileBytes(rig.log.path());
    EXPECT_NE(logged.find(" In  .Epoch2Date at line - 2975\r\n"), std::string::npos) << logged;
}

} // namespace
} // namespace quorvane::testing
