#include "history/snapshot.h"
#include "historytest.h"

#include <gtest/gtest.h>

namespace quorvane::history {
namespace {

std::string testData(const char* name) {
    return testing::fileText(std::filesystem::path(QUORVANE_TEST_DATA_DIR) / name);
}

struct CaptureRow {
    const char* file;
    std::optional<Snapshot> expected;
};

TEST(ParseSnapshot, TakesTheFirstTwoMetersOfRealReplies) {
    const CaptureRow rows[] = {
        {"readings-fw7.6.175-production-and-net.json",
         Snapshot{1693745133, 3183793.885, 8851.704, 3738205.282, 1776768.769}},
        {"readings-fw8.2.4345-production-and-net.json",
         Snapshot{1748577049, 1243812.228, 11.6, 648203.353, 883899.646}},
        {"readings-fw8.3.5167-three-meters.json",
         Snapshot{1753703632, 569122.622, 479.465, 99056.453, 415089.21}},
        {"readings-fw3.8.10-not-found.json", std::nullopt},
        {"readings-fw5.0.62-empty-list.json", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const std::string reply = testData(row.file);
        ASSERT_FALSE(reply.empty());
        EXPECT_EQ(parseSnapshot(reply), row.expected);
    }
}

TEST(ParseSnapshot, RecordsNothingForARuinedReply) {
    const std::string good = testing::readingsReply(1748577049, 10, 1, 20, 2);
    const std::pair<const char*, std::string> rows[] = {
        {"no timestamp", R"([{"actEnergyDlvd":1,"actEnergyRcvd":1},)"
                         R"({"timestamp":5,"actEnergyDlvd":1,"actEnergyRcvd":1}])"},
        {"timestamp 0", testing::readingsReply(0, 10, 1, 20, 2)},
        {"negative timestamp", testing::readingsReply(-60, 10, 1, 20, 2)},
        {"timestamp as text", R"([{"timestamp":"5","actEnergyDlvd":1,"actEnergyRcvd":1},)"
                              R"({"timestamp":5,"actEnergyDlvd":1,"actEnergyRcvd":1}])"},
        {"counter as text", R"([{"timestamp":5,"actEnergyDlvd":"1","actEnergyRcvd":1},)"
                            R"({"timestamp":5,"actEnergyDlvd":1,"actEnergyRcvd":1}])"},
        {"counter null", R"([{"timestamp":5,"actEnergyDlvd":1,"actEnergyRcvd":1},)"
                         R"({"timestamp":5,"actEnergyDlvd":null,"actEnergyRcvd":1}])"},
        {"counters only per channel",
         R"([{"timestamp":5,"channels":[{"actEnergyDlvd":1,"actEnergyRcvd":1}]},)"
         R"({"timestamp":5,"actEnergyDlvd":1,"actEnergyRcvd":1}])"},
        {"one meter", R"([{"timestamp":5,"actEnergyDlvd":1,"actEnergyRcvd":1}])"},
        {"cut off", good.substr(0, good.size() - 3)},
        {"number too large", R"([{"timestamp":5,"actEnergyDlvd":1e999,"actEnergyRcvd":1},)"
                             R"({"timestamp":5,"actEnergyDlvd":1,"actEnergyRcvd":1}])"},
        {"timestamp too large", R"([{"timestamp":18446744073709551615,"actEnergyDlvd":1,)"
                                R"("actEnergyRcvd":1},{"actEnergyDlvd":1,"actEnergyRcvd":1}])"},
        {"not text", std::string("[\xff\xfe", 3)},
    };
    ASSERT_TRUE(parseSnapshot(good));
    for (const auto& [name, reply] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(parseSnapshot(reply), std::nullopt);
    }
}

TEST(SnapshotLine, KeepsUpToThreeDecimalsAndNoTrailingZeros) {
    EXPECT_EQ(snapshotLine({1748577049, 1243812.228, 11.6, 648203.353, 883899.646}),
              "1748577049,1243812.228,11.6,648203.353,883899.646\n");
    EXPECT_EQ(snapshotLine({60, 5.0, 0.0004, -0.0, 12345678.9996}), "60,5,0,0,12345679\n");
}

TEST(SnapshotLine, ReadsBackOnlyWholeSnapshotLines) {
    const Snapshot snapshot{1748577049, 1243812.228, 11.6, 648203.353, 883899.646};
    const std::string line = snapshotLine(snapshot);
    EXPECT_EQ(parseSnapshotLine(line.substr(0, line.size() - 1)), snapshot);
    EXPECT_EQ(parseSnapshotLine("1748577049,1243812.228,11.6,648203.353,883899.646\r"), snapshot);
    const char* garbage[] = {
        "timestamp,production_dlvd_wh,production_rcvd_wh,second_dlvd_wh,second_rcvd_wh",
        "1748577049,1243812.228,11.6,648203.353,88!",
        "1748577049,1243812.228,11.6,648203.353,",
        "1748577049,1243812.228,11.6,648203.353",
        "1748577049,1243812.228,11.6,648203.353,883899.646,1",
        "1748577049,1243812.228,11.6,648203.353,nan",
        "1748577049,1243812.228,11.6,648203.353,inf",
        "1748577049,+1243812.228,11.6,648203.353,883899.646",
        "1748577049, 1243812.228,11.6,648203.353,883899.646",
        "0,1,1,1,1",
        "1748577049.5,1,1,1,1",
        "99999999999999999999,1,1,1,1",
        "",
        "!",
    };
    for (const char* text : garbage) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseSnapshotLine(text), std::nullopt);
    }
}

} // namespace
} // namespace quorvane::history
