#include "history/localdays.h"
#include "history/recorder.h"
#include "historytest.h"

#include <gtest/gtest.h>

namespace quorvane::history {
namespace {

namespace fs = std::filesystem;

constexpr LocalDate kDay{2026, 6, 21};

struct RecorderRig {
    testing::HistoryFolder folder;
    HistoryStore store{folder.path() / "history"};
    std::vector<std::string> reports;
    Recorder recorder{store, [this](const std::string& message) { reports.push_back(message); }};
    // 10:00:30 local time.
    std::int64_t start = localDayStart(kDay) + 10 * 3600 + 30;

    // A reading at `t` whose production counter is t's seconds after `start`.
    void read(std::int64_t t) {
        const double wh = static_cast<double>(t - start);
        recorder.record(t, testing::readingsReply(t, wh, 0, 2 * wh, 0));
    }
    std::vector<std::int64_t> recorded() const {
        std::vector<std::int64_t> times;
        for (const auto& snapshot : store.snapshotsAround(kDay, kDay)) {
            times.push_back(snapshot.timestamp);
        }
        return times;
    }
};

TEST(Recorder, RecordsTheFirstReadingOfEachNewMinute) {
    RecorderRig rig;
    for (std::int64_t t = rig.start; t < rig.start + 150; t += 2) {
        rig.read(t);
    }
    // 10:00:30, 10:01:00 and 10:02:00; then the last reading at the end.
    EXPECT_EQ(rig.recorded(),
              (std::vector<std::int64_t>{rig.start, rig.start + 30, rig.start + 90}));
    rig.recorder.finish(rig.start + 148, testing::readingsReply(rig.start + 148, 148, 0, 0, 0));
    rig.recorder.finish(rig.start + 148, testing::readingsReply(rig.start + 148, 148, 0, 0, 0));
    EXPECT_EQ(rig.recorded(), (std::vector<std::int64_t>{rig.start, rig.start + 30,
                                                         rig.start + 90, rig.start + 148}));
    EXPECT_TRUE(rig.reports.empty());
}

TEST(Recorder, ReadingsThatCannotBeRecordedChangeNothing) {
    RecorderRig rig;
    rig.read(rig.start);
    // The gateway's clock went back a minute, a reading without counters, one without time.
    rig.read(rig.start - 60);
    rig.recorder.record(rig.start + 60, R"([{"timestamp":1}])");
    rig.recorder.record(0, testing::readingsReply(rig.start + 70, 1, 1, 1, 1));
    rig.read(rig.start + 90);
    rig.recorder.finish(rig.start + 90, testing::readingsReply(rig.start + 90, 9, 9, 9, 9));
    rig.recorder.finish(rig.start + 95, "not JSON");
    EXPECT_EQ(rig.recorded(), (std::vector<std::int64_t>{rig.start, rig.start + 90}));
    EXPECT_EQ(rig.recorder.lastSnapshot(), rig.start + 90);
}

TEST(Recorder, ReportsAFailedWriteOnceAndResumesByItself) {
    RecorderRig rig;
    const fs::path history = rig.folder.path() / "history";
    testing::writeFile(history, "a file in the way");
    for (int minute = 0; minute < 3; ++minute) {
        rig.read(rig.start + 60 * minute);
    }
    ASSERT_EQ(rig.reports.size(), 1u);
    const std::u8string folder = history.u8string();
    EXPECT_NE(rig.reports[0].find(std::string(folder.begin(), folder.end())), std::string::npos)
        << rig.reports[0];

    fs::remove(history);
    rig.read(rig.start + 180);
    rig.read(rig.start + 240);
    EXPECT_EQ(rig.recorded(), (std::vector<std::int64_t>{rig.start + 180, rig.start + 240}));
    EXPECT_EQ(rig.reports.size(), 1u);

    fs::remove_all(history);
    testing::writeFile(history, "in the way again");
    rig.read(rig.start + 300);
    rig.read(rig.start + 360);
    EXPECT_EQ(rig.reports.size(), 2u);
}

TEST(Recorder, AReportThatThrowsDoesNotReachTheCaller) {
    testing::HistoryFolder folder;
    testing::writeFile(folder.path() / "history", "in the way");
    HistoryStore store(folder.path() / "history");
    Recorder recorder(store, [](const std::string&) { throw std::runtime_error("window gone"); });
    const std::int64_t t = localDayStart(kDay) + 3600;
    EXPECT_NO_THROW(recorder.record(t, testing::readingsReply(t, 1, 1, 1, 1)));
}

} // namespace
} // namespace quorvane::history
