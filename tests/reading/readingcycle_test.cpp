#include "reading/cyclerig.h"

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

using reading::colours::kGreen;
using reading::colours::kLightRed;
using reading::colours::kWindowBackground;

constexpr const char* kFw76 = "readings-fw7.6.175-production-and-net.json";
constexpr const char* kFw82 = "readings-fw8.2.4345-production-and-net.json";
constexpr const char* kFw83 = "readings-fw8.3.5167-three-meters.json";

struct GatewayReplyRow {
    const char* name;
    const char* file;
    bool consumptionVariant;
    Texts texts;
    Colours colours;
    // A1 to A3 tooltips and V1 to V3 texts: the second meter's phase voltages.
    std::array<const char*, 3> volts;
    const char* gridLine;
};

void PrintTo(const GatewayReplyRow& row, std::ostream* out) {
    *out << row.name;
}

// Worked out by hand from the replies; values rounded half to even to one decimal first.
// The first time stamp plus one hour (UTC+1). Each meter lists pwrFactor before current, so the
// second meter's currents take the power factor of the same reply.
const std::vector<GatewayReplyRow> kGatewayReplies = {
    // Production 488.925 -> 488.9; net -36.162 -> -36.2; 488.9 - 36.2 = 452.7.
    // Grid phases -36.162 -> -36.2; -0.000 -> 0.0; G3 round(-0.451) = -0 -> 0.0.
    // PFs -0.060 -> -0.1, -1.000, 0.000; currents 2.745 -> 2.7 x -0.1 = -0.27 -> -0.3,
    // 0.0 x -1 and 0.2 x 0 -> 0.0. Voltages 235.201, 2.981, 4.635 -> 235.2, 3.0, 4.6.
    {"Fw76Grid",
     kFw76,
     false,
     {{Box::TimeStamp, "2023-09-03 13:45:33"},
      {Box::Production, "488.9"},
      {Box::Consumption, "452.7"},
      {Box::Grid, "36.2"},
      {Box::S1, "488.9"},
      {Box::S2, "0.0"},
      {Box::S3, "-1.0"},
      {Box::G1, "36.2"},
      {Box::G2, "0.0"},
      {Box::G3, "0.0"},
      {Box::A1, "-0.3"},
      {Box::A2, "0.0"},
      {Box::A3, "0.0"}},
     {{Box::Grid, kGreen}, {Box::G1, kGreen}, {Box::G2, kLightRed}, {Box::G3, kLightRed}},
     {"235.2", "3.0", "4.6"},
     "-36.2 "},
    // Consumption is the second meter itself; grid = -36.2 - 488.9 = -525.1.
    {"Fw76Consumption",
     kFw76,
     true,
     {{Box::Consumption, "-36.2"}, {Box::Grid, "525.1"}, {Box::G1, "36.2"}, {Box::A1, "-0.3"}},
     {{Box::Grid, kGreen},
      {Box::G1, kWindowBackground},
      {Box::G2, kWindowBackground},
      {Box::G3, kWindowBackground}},
     {"235.2", "3.0", "4.6"},
     "-525.1 "},
    // 807.326 -> 807.3; phases -0.039 -> -0.0 and -0.000 show 0.0; net 199.234 -> 199.2;
    // 199.2 + 807.3 = 1006.5. Grid phases 199.2; -0.236 -> -0.2 shown 0.2 on green; G3 0.
    // PFs 0.140 -> 0.1, 0.000, 0.000; currents 4.066 -> 4.1 x 0.1 = 0.41 -> 0.4, then 0.0.
    {"Fw82Grid",
     kFw82,
     false,
     {{Box::TimeStamp, "2025-05-30 04:50:49"},
      {Box::Production, "807.3"},
      {Box::Consumption, "1,006.5"},
      {Box::Grid, "199.2"},
      {Box::S1, "807.3"},
      {Box::S2, "0.0"},
      {Box::S3, "0.0"},
      {Box::G1, "199.2"},
      {Box::G2, "0.2"},
      {Box::G3, "0.0"},
      {Box::A1, "0.4"},
      {Box::A2, "0.0"},
      {Box::A3, "0.0"}},
     {{Box::Grid, kLightRed}, {Box::G1, kLightRed}, {Box::G2, kGreen}, {Box::G3, kLightRed}},
     {"244.2", "6.1", "5.7"},
     "199.2"},
    // Consumption 199.2; grid = 199.2 - 807.3 = -608.1.
    {"Fw82Consumption",
     kFw82,
     true,
     {{Box::Consumption, "199.2"}, {Box::Grid, "608.1"}, {Box::G2, "0.2"}},
     {{Box::Grid, kGreen}, {Box::G1, kWindowBackground}, {Box::G2, kWindowBackground}},
     {"244.2", "6.1", "5.7"},
     "-608.1 "},
    // 5235.674 -> 5235.7; net -4912.241 -> -4912.2; 5235.7 - 4912.2 = 323.5. Grid phases
    // -2879.825 -> -2879.8, -877.472 -> -877.5, G3 round(-1154.943) = -1155. PFs -0.987,
    // -0.945, -0.994 -> -1.0, -0.9, -1.0; currents 12.129 -> 12.1, 3.982 -> 4.0 x -0.9 = -3.6,
    // 5.053 -> 5.1. The third meter's entries are ordinals 9 to 16 and change nothing.
    {"Fw83Grid",
     kFw83,
     false,
     {{Box::TimeStamp, "2025-07-28 12:53:52"},
      {Box::Production, "5,235.7"},
      {Box::Consumption, "323.5"},
      {Box::Grid, "4,912.2"},
      {Box::S1, "2,915.5"},
      {Box::S2, "1,162.3"},
      {Box::S3, "1,157.8"},
      {Box::G1, "2,879.8"},
      {Box::G2, "877.5"},
      {Box::G3, "1,155.0"},
      {Box::A1, "-12.1"},
      {Box::A2, "-3.6"},
      {Box::A3, "-5.1"}},
     {{Box::Grid, kGreen}, {Box::G1, kGreen}, {Box::G2, kGreen}, {Box::G3, kGreen}},
     {"237.8", "230.1", "226.8"},
     "-4912.2 "},
    // Consumption -4912.2; grid = -4912.2 - 5235.7 = -10147.9.
    {"Fw83Consumption",
     kFw83,
     true,
     {{Box::Consumption, "-4,912.2"}, {Box::Grid, "10,147.9"}, {Box::G3, "1,155.0"}},
     {{Box::Grid, kGreen}, {Box::G3, kWindowBackground}},
     {"237.8", "230.1", "226.8"},
     "-10147.9 "},
};

class GatewayReplies : public ::testing::TestWithParam<GatewayReplyRow> {};

TEST_P(GatewayReplies, ShowEveryReadingInItsBoxAndWriteTheOutputFile) {
    const auto& row = GetParam();
    CycleRig rig;
    rig.cycle.setConsumptionVariant(row.consumptionVariant);
    rig.read(testData(row.file));

    expectBoxes(rig.boxes, row.texts, row.colours);
    for (int phase = 0; phase < 3; ++phase) {
        const auto amps = static_cast<Box>(static_cast<int>(Box::A1) + phase);
        const auto volts = static_cast<Box>(static_cast<int>(Box::V1) + phase);
        EXPECT_EQ(rig.boxes.text(volts), row.volts[phase]);
        EXPECT_EQ(rig.boxes.toolTip(amps), row.volts[phase]);
    }
    const std::string out = rig.outFile();
    EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 3) + 1), std::string(row.gridLine) + "\r\n");
    EXPECT_TRUE(rig.notices.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(ReadingCycle, GatewayReplies, ::testing::ValuesIn(kGatewayReplies),
                         RowName());

TEST(ReadingCycle, RepliesWithoutReadingsResetOnlyTheMainDisplaysAndAnErrorIsNoReading) {
    struct Row {
        const char* file;
        Texts texts;
        const char* head;
    };
    const std::vector<Row> rows = {
        {"readings-fw5.0.62-empty-list.json",
         {{Box::TimeStamp, "0"},
          {Box::Production, "0"},
          {Box::Grid, "0"},
          {Box::S1, "0"},
          {Box::S3, "0"},
          {Box::G1, "0"},
          {Box::G3, "0"},
          {Box::Consumption, "452.7"},
          {Box::A1, "-0.3"},
          {Box::V1, "235.2"}},
         "0\r\n0\r\n452.7\r\n"},
        // The gateway's word of failure is no reading: the last one stays beside the failure.
        {"readings-fw3.8.10-not-found.json",
         {{Box::TimeStamp, "Wrong/No IP address"},
          {Box::Production, "488.9"},
          {Box::Grid, "36.2"},
          {Box::S1, "488.9"},
          {Box::G1, "36.2"},
          {Box::Consumption, "452.7"},
          {Box::A1, "-0.3"},
          {Box::V1, "235.2"}},
         "Wrong/No IP address\r\n488.9\r\n452.7\r\n-36.2 \r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        CycleRig rig;
        rig.read(testData(kFw76));
        rig.read(testData(row.file));
        expectBoxes(rig.boxes, row.texts, {{Box::Grid, kGreen}, {Box::G1, kGreen}});
        const std::string head = row.head;
        EXPECT_EQ(rig.outFile().substr(0, head.size()), head);
    }
}

TEST(ReadingCycle, CurrentsTakeThePowerFactorStoredWhenTheyAreMet) {
    // Each phase lists current before pwrFactor: the first cycle multiplies by the initial 0,
    // the second by the first reply's factors (-0.94 -> -0.9, 0.96 -> 1.0, 0.04 -> 0.0).
    const std::string text =
        reply(readings("current", {"1", "1", "1", "1", "1", "4.7", "5.26", "3"}) +
              readings("pwrFactor", {"1", "1", "1", "1", "1", "-0.94", "0.96", "0.04"}));
    CycleRig rig;
    rig.read(text);
    expectBoxes(rig.boxes, {{Box::A1, "0.0"}, {Box::A2, "0.0"}, {Box::A3, "0.0"}});
    rig.read(text);
    // 4.7 x -0.9 = -4.23; 5.3 x 1.0; 3.0 x 0.0.
    expectBoxes(rig.boxes, {{Box::A1, "-4.2"}, {Box::A2, "5.3"}, {Box::A3, "0.0"}});
    EXPECT_DOUBLE_EQ(rig.cycle.gridPowerFactor(1), -0.9);

    // A reply with the first meter only leaves its own phases and keeps the factors.
    rig.read(reply(readings("current", {"1", "2.25", "2", "3"}) +
                   readings("voltage", {"1", "230.04", "230", "231"})));
    expectBoxes(rig.boxes, {{Box::A1, "2.2"}, {Box::V1, "230.0"}, {Box::A3, "3.0"}});
    EXPECT_DOUBLE_EQ(rig.cycle.gridPowerFactor(2), 1.0);
}

TEST(ReadingCycle, RequestCarriesAddressTimeOfDayAsQueryValueAndToken) {
    // The IP box as typed, and where the request goes: only a bare IPv6 literal is put in
    // brackets (its zone's "%" written as "%25"); everything else is passed on as it is.
    const std::vector<std::pair<std::string, std::string>> rows = {
        {" 127.0.0.1:8443", "https:// 127.0.0.1:8443"},
        {"envoy.local", "https://envoy.local"},
        {"envoy.local:8443", "https://envoy.local:8443"},
        {"::1", "https://[::1]"},
        {"fe80::8e1:f2ff:fe3a:41c2", "https://[fe80::8e1:f2ff:fe3a:41c2]"},
        {"fe80::8e1:f2ff:fe3a:41c2%eth0", "https://[fe80::8e1:f2ff:fe3a:41c2%25eth0]"},
        {"fe80::1%12", "https://[fe80::1%2512]"},
        {"2a02:db8::17", "https://[2a02:db8::17]"},
        {"::ffff:192.168.1.64", "https://[::ffff:192.168.1.64]"},
        {"[2a02:db8::17]", "https://[2a02:db8::17]"},
        {"[::1]:8443", "https://[::1]:8443"},
        {"", "https://"},
    };
    for (const auto& [address, start] : rows) {
        SCOPED_TRACE(address);
        CycleRig rig;
        rig.boxes.setText(Box::IP, address);
        rig.boxes.setText(Box::TokenString, "eyJ token\r\n");
        rig.clock.now = {2025, 2, 22, 7, 5, 9};
        rig.read("[]");
        ASSERT_EQ(rig.http.requests.size(), 1U);
        EXPECT_EQ(rig.http.requests[0].first, start + "/ivp/meters/readings?cache=07:05:09");
        EXPECT_EQ(rig.http.requests[0].second, "eyJ token\r\n");
    }

    // A time text that is no valid query value goes percent-encoded.
    CycleRig rig;
    rig.boxes.setText(Box::IP, "127.0.0.1:8443");
    rig.clock.now = {2025, 2, 22, 7, 5, 9};
    rig.locale.timeSuffix = " [\u4E0B\u5348]";
    rig.read("[]");
    ASSERT_EQ(rig.http.requests.size(), 1U);
    EXPECT_EQ(rig.http.requests[0].first, "https://127.0.0.1:8443/ivp/meters/"
                                          "readings?cache=07:05:09%20%5B%E4%B8%8B%E5%8D%88%5D");
}

TEST(ReadingCycle, FailedOrEmptyRequestShowsWrongAddressAndTouchesNothingElse) {
    struct Row {
        const char* name;
        ScriptedHttp::Answer answer;
        std::vector<std::pair<std::string, std::int32_t>> notices;
    };
    const std::vector<Row> rows = {
        {"Failed",
         {"", "Error -2147012867: Connection refused"},
         {{"API Call Failed: Error -2147012867: Connection refused", 15000}}},
        {"EmptyBody", {"", ""}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CycleRig rig;
        rig.read(testData(kFw82));
        const MemoryBoxes before = rig.boxes;
        std::string replyWhileShown;
        rig.notices.whileShown = [&] {
            replyWhileShown = rig.cycle.responseText();
            rig.clock.ticks += 15000;
        };
        rig.http.answers.push_back(row.answer);
        rig.cycle.QuorvaneRead();

        EXPECT_EQ(rig.notices.shown, row.notices);
        EXPECT_EQ(replyWhileShown, row.notices.empty() ? "" : testData(kFw82));
        EXPECT_EQ(rig.cycle.responseText(), "");
        EXPECT_EQ(rig.boxes.text(Box::TimeStamp), "Wrong/No IP address");
        EXPECT_EQ(rig.boxes.text(Box::Turnaround), row.notices.empty() ? "0 ms" : "15000 ms");
        for (int i = 0; i < reading::kBoxCount; ++i) {
            const auto box = static_cast<Box>(i);
            if (box != Box::TimeStamp && box != Box::Turnaround) {
                EXPECT_EQ(rig.boxes.text(box), before.text(box)) << reading::boxName(box);
                EXPECT_EQ(rig.boxes.backColour(box), before.backColour(box));
                EXPECT_EQ(rig.boxes.toolTip(box), before.toolTip(box));
            }
        }
        EXPECT_EQ(rig.outFile(), "Wrong/No IP address\r\n807.3\r\n1,006.5\r\n199.2\r\n");
    }
}

TEST(ReadingCycle, TurnaroundIsElapsedTicksModulo2To32WithoutSeparators) {
    struct Row {
        const char* name;
        std::uint32_t start;
        std::uint32_t turnaround;
        const char* shown;
    };
    for (const Row& row :
         {Row{"Plain", 5000, 1234, "1234 ms"}, Row{"AcrossTheWrap", 0xFFFFFC00U, 1234, "1234 ms"},
          Row{"Instant", 0xFFFFFFFFU, 0, "0 ms"}}) {
        SCOPED_TRACE(row.name);
        CycleRig rig;
        rig.clock.ticks = row.start;
        rig.http.turnaround = row.turnaround;
        rig.read("[]");
        EXPECT_EQ(rig.boxes.text(Box::Turnaround), row.shown);
    }
}

TEST(ReadingCycle, OpenTokenDialogChangesNothingAtAll) {
    CycleRig rig;
    rig.dialogVisible = true;
    rig.read(testData(kFw76));
    EXPECT_TRUE(rig.http.requests.empty());
    EXPECT_EQ(rig.boxes.changes, 0);
    EXPECT_FALSE(std::filesystem::exists(rig.outPath()));
}

TEST(ReadingCycle, TickUnderAModalWindowRunsACycleOfItsOwnAndTheOlderOneThenLeavesAllAlone) {
    // Where the first cycle is when the next tick comes.
    enum class Where { Request, Notice, ReplyBox };
    struct Row {
        const char* name;
        Where where;
        ScriptedHttp::Answer first;
        ScriptedHttp::Answer second;
        // The token dialog is up at the second tick.
        bool dialogAtSecondTick;
        std::size_t requests;
        std::size_t notices;
        std::size_t replyBoxes;
        // Shown at the end; the reading before both cycles had production 488.9.
        const char* production;
        bool wrongAddress;
        // The first cycle showed its own reply when it resumed.
        bool firstShows;
    };
    const std::string busy = R"({"error":"busy"})";
    const std::vector<Row> rows = {
        {"InFlightRequestSkipsTheTick",
         Where::Request,
         {testData(kFw83), ""},
         {testData(kFw82), ""},
         false,
         2,
         0,
         0,
         "5,235.7",
         false,
         true},
        {"UnderFailureNotice",
         Where::Notice,
         {"", "Error 1: timed out"},
         {testData(kFw82), ""},
         false,
         3,
         1,
         0,
         "807.3",
         false,
         false},
        {"UnderErrorBox",
         Where::ReplyBox,
         {busy, ""},
         {testData(kFw82), ""},
         false,
         3,
         0,
         1,
         "807.3",
         false,
         false},
        // One box at a time; the second reply is no reading either.
        {"ErrorReplyUnderErrorBoxOpensNoSecondBox",
         Where::ReplyBox,
         {busy, ""},
         {R"({"error":"still busy"})", ""},
         false,
         3,
         0,
         1,
         "488.9",
         true,
         false},
        // The second notice cannot be shown; its cycle still drops the previous reply.
        {"FailureUnderFailureNotice",
         Where::Notice,
         {"", "Error 1: timed out"},
         {"", "Error 2: refused"},
         false,
         3,
         2,
         0,
         "488.9",
         true,
         false},
        {"TokenDialogUpAtTheTickUnderErrorBox",
         Where::ReplyBox,
         {busy, ""},
         {testData(kFw82), ""},
         true,
         2,
         0,
         1,
         "488.9",
         true,
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CycleRig rig;
        rig.read(testData(kFw76));
        bool runningInside = false;
        int changesBefore = -1;
        int changesAfter = -1;
        std::string fileAfter;
        const auto tick = [&] {
            runningInside = rig.cycle.running();
            changesBefore = rig.boxes.changes;
            rig.dialogVisible = row.dialogAtSecondTick;
            rig.cycle.QuorvaneRead();
            rig.dialogVisible = false;
            changesAfter = rig.boxes.changes;
            fileAfter = rig.outFile();
        };
        switch (row.where) {
        case Where::Request:
            rig.http.duringRequest = tick;
            break;
        case Where::Notice:
            rig.notices.whileShown = tick;
            break;
        case Where::ReplyBox:
            rig.replyBox.whileShown = tick;
            break;
        }
        rig.http.answers = {row.first, row.second};
        rig.cycle.QuorvaneRead();

        EXPECT_TRUE(runningInside);
        EXPECT_FALSE(rig.cycle.running());
        EXPECT_EQ(rig.http.requests.size(), row.requests);
        EXPECT_EQ(rig.notices.shown.size(), row.notices);
        EXPECT_EQ(rig.replyBox.shown.size(), row.replyBoxes);
        EXPECT_EQ(rig.boxes.text(Box::Production), row.production);
        EXPECT_EQ(rig.boxes.text(Box::TimeStamp) == "Wrong/No IP address", row.wrongAddress);
        if (row.requests == 3) {
            EXPECT_GT(changesAfter, changesBefore);
        } else {
            EXPECT_EQ(changesAfter, changesBefore);
        }
        if (row.firstShows) {
            EXPECT_GT(rig.boxes.changes, changesAfter);
        } else {
            EXPECT_EQ(rig.boxes.changes, changesAfter);
            EXPECT_EQ(rig.outFile(), fileAfter);
        }
        EXPECT_EQ(rig.outFile().rfind("Wrong/No IP address", 0) == 0, row.wrongAddress);
    }
}

TEST(ReadingCycle, ErrorReplyIsShownInTheBoxAndIsNoReading) {
    const auto repeated = [](const std::string& piece, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) {
            text += piece;
        }
        return text;
    };
    struct Row {
        const char* name;
        std::string body;
        std::vector<std::string> shown;
    };
    const std::vector<Row> rows = {
        {"LowerCaseErrorShown", R"({"error":"busy"})", {R"({"error":"busy"})"}},
        {"CapitalisedErrorNotShown", R"({"Error":"busy"})", {}},
        // 2,000 characters of a 3,000-character reply; "é" is two bytes and stays whole.
        {"HugeBodyShownCutToTwoThousandCharacters",
         "error" + repeated("\xc3\xa9", 2995),
         {"error" + repeated("\xc3\xa9", 1995)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CycleRig rig;
        rig.read(testData(kFw76));
        std::string replyWhileShown = "none";
        rig.replyBox.whileShown = [&] { replyWhileShown = rig.cycle.responseText(); };
        rig.read(row.body);
        EXPECT_EQ(rig.replyBox.shown, row.shown);
        const bool reading = row.shown.empty();
        // The previous reply stays until the box has closed; a body with "error" is then none.
        EXPECT_EQ(replyWhileShown, reading ? "none" : testData(kFw76));
        EXPECT_EQ(rig.cycle.responseText(), reading ? row.body : "");
        EXPECT_EQ(rig.boxes.text(Box::Production), reading ? "0" : "488.9");
        EXPECT_EQ(rig.boxes.text(Box::TimeStamp), reading ? "0" : "Wrong/No IP address");
        EXPECT_EQ(rig.outFile().rfind("Wrong/No IP address\r\n488.9\r\n", 0) == 0, !reading);
    }
}

TEST(ReadingCycle, TimeZoneOffsetFollowsDaylightSavingOncePerCycle) {
    CycleRig rig;
    const std::string text = reply({item("timestamp", "1740248578"), item("timestamp", "1")});
    EXPECT_EQ(rig.boxes.text(Box::Zone), "1");
    rig.zone.zone = {2, -60};
    const int callsBefore = rig.zone.calls;
    rig.read(text);
    EXPECT_EQ(rig.boxes.text(Box::TimeStamp), "2025-02-22 20:22:58");
    EXPECT_EQ(rig.boxes.text(Box::Zone), "2");
    EXPECT_EQ(rig.cycle.timeZoneBias(), 7200);
    EXPECT_EQ(rig.zone.calls, callsBefore + 1);

    // No zone information: UTC, and Zone keeps its text.
    rig.zone.zone = {0xFFFFFFFFU, -60};
    rig.read(text);
    EXPECT_EQ(rig.boxes.text(Box::TimeStamp), "2025-02-22 18:22:58");
    EXPECT_EQ(rig.boxes.text(Box::Zone), "2");
    EXPECT_EQ(rig.cycle.timeZoneBias(), 0);

    // A reply without a time stamp leaves the zone alone.
    rig.read(reply({item("activePower", "1")}));
    EXPECT_EQ(rig.zone.calls, callsBefore + 2);
}

} // namespace
} // namespace quorvane::testing
