#include "history/historystore.h"
#include "history/localdays.h"
#include "historytest.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include "support/supporttest.h"

#include <sys/wait.h>
#include <unistd.h>
#endif

namespace quorvane::history {
namespace {

namespace fs = std::filesystem;

constexpr LocalDate kDay{2026, 6, 21};
const std::string kHeader = std::string(kSnapshotHeader) + "\n";

// A snapshot `minutes` after the start of local day `date`, its counters rising with it.
Snapshot snapshotAt(const LocalDate& date, int minutes) {
    const double wh = 1000.0 + minutes;
    return {localDayStart(date) + minutes * 60LL, wh, 1.0, 2 * wh, 0.5 * wh};
}

TEST(HistoryStore, AppendsALineToTheFileOfTheSnapshotsLocalDay) {
    testing::HistoryFolder folder;
    const HistoryStore store(folder.path() / "history");
    const Snapshot first = snapshotAt(kDay, 0);
    const Snapshot second = snapshotAt(kDay, 24 * 60 - 1);
    const Snapshot nextDay = snapshotAt(history::nextDay(kDay), 0);
    for (const auto& snapshot : {first, second, nextDay}) {
        ASSERT_FALSE(store.append(snapshot));
    }
    EXPECT_EQ(testing::fileText(folder.path() / "history" / "2026-06-21.csv"),
              kHeader + snapshotLine(first) + snapshotLine(second));
    EXPECT_EQ(testing::fileText(folder.path() / "history" / "2026-06-22.csv"),
              kHeader + snapshotLine(nextDay));
}

TEST(HistoryStore, ACutOffLastLineIsSkippedAndTheNextLineStartsOnItsOwn) {
    testing::HistoryFolder folder;
    const HistoryStore store(folder.path());
    const Snapshot before = snapshotAt(kDay, 10);
    const Snapshot after = snapshotAt(kDay, 12);
    // Power went at the last byte: the cut line reads as a snapshot but was never finished.
    const std::string torn = snapshotLine(snapshotAt(kDay, 11));
    const std::string cut = torn.substr(0, torn.size() - 1);
    testing::writeFile(store.fileFor(kDay), kHeader + snapshotLine(before) + cut);
    EXPECT_EQ(snapshotsInText(testing::fileText(store.fileFor(kDay))),
              std::vector<Snapshot>{before});

    ASSERT_FALSE(store.append(after));
    EXPECT_EQ(testing::fileText(store.fileFor(kDay)),
              kHeader + snapshotLine(before) + cut + "!\n" + snapshotLine(after));
    EXPECT_EQ(store.snapshotsAround(kDay, kDay), (std::vector<Snapshot>{before, after}));
}

TEST(HistoryStore, EditedLinesAreSkipped) {
    testing::HistoryFolder folder;
    const HistoryStore store(folder.path());
    const Snapshot a = snapshotAt(kDay, 1);
    const Snapshot b = snapshotAt(kDay, 2);
    const Snapshot c = snapshotAt(kDay, 3);
    testing::writeFile(store.fileFor(kDay),
                       kHeader + snapshotLine(a) + "this line was edited\n" +
                           std::string("\0\0\0\0\n", 5) + snapshotLine(c) + "\n\n" + kHeader +
                           snapshotLine(b) + "1,2,3\n" + std::string(5000, 'x') + "\n");
    EXPECT_EQ(store.snapshotsAround(kDay, kDay), (std::vector<Snapshot>{a, b, c}));
}

TEST(HistoryStore, LooksBackAndAheadToTheNearestFilesWithSnapshots) {
    testing::HistoryFolder folder;
    const HistoryStore store(folder.path());
    const LocalDate weekBefore{2026, 6, 14};
    const LocalDate weekAfter{2026, 6, 28};
    const Snapshot lastBefore = snapshotAt(weekBefore, 600);
    const Snapshot firstAfter = snapshotAt(weekAfter, 30);
    for (const auto& snapshot : {snapshotAt(weekBefore, 500), lastBefore, snapshotAt(kDay, 60),
                                 firstAfter, snapshotAt(weekAfter, 40)}) {
        ASSERT_FALSE(store.append(snapshot));
    }
    // Files with nothing readable between them are passed over.
    testing::writeFile(store.fileFor({2026, 6, 17}), kHeader + "garbage\n");
    testing::writeFile(store.fileFor({2026, 6, 25}), kHeader);
    testing::writeFile(folder.path() / "2026-06-18.csv.bak", snapshotLine(snapshotAt(kDay, 1)));

    EXPECT_EQ(store.snapshotsAround(kDay, kDay),
              (std::vector<Snapshot>{lastBefore, snapshotAt(kDay, 60), firstAfter}));
}

TEST(HistoryStore, ASnapshotWrittenTwiceCountsOnce) {
    testing::HistoryFolder folder;
    const HistoryStore store(folder.path());
    const Snapshot a = snapshotAt(kDay, 1);
    const Snapshot b = snapshotAt(kDay, 2);
    for (const auto& snapshot : {b, a, b, a}) {
        ASSERT_FALSE(store.append(snapshot));
    }
    EXPECT_EQ(store.snapshotsAround(kDay, kDay), (std::vector<Snapshot>{a, b}));
}

TEST(HistoryStore, AFileWhereTheFolderShouldBeFailsUntilItGoes) {
    testing::HistoryFolder folder;
    const fs::path history = folder.path() / "history";
    testing::writeFile(history, "in the way");
    const HistoryStore store(history);
    EXPECT_TRUE(store.append(snapshotAt(kDay, 1)));
    EXPECT_TRUE(store.snapshotsAround(kDay, kDay).empty());

    fs::remove(history);
    EXPECT_FALSE(store.append(snapshotAt(kDay, 2)));
    EXPECT_EQ(store.snapshotsAround(kDay, kDay), std::vector<Snapshot>{snapshotAt(kDay, 2)});
}

#ifndef _WIN32
TEST(HistoryStore, AReadOnlyFolderFailsUntilItIsWritableAgain) {
    testing::HistoryFolder folder;
    const fs::path history = folder.path() / "history";
    fs::create_directories(history);
    fs::permissions(history, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_TRUE(testing::runUnprivileged(folder.path(), [&history] {
        const HistoryStore store(history);
        if (!store.append(snapshotAt(kDay, 1))) {
            return false;
        }
        fs::permissions(history, fs::perms::owner_all);
        return !store.append(snapshotAt(kDay, 2)) &&
               store.snapshotsAround(kDay, kDay) == std::vector<Snapshot>{snapshotAt(kDay, 2)};
    }));
}

TEST(HistoryStore, TwoProcessesAppendingTearNoLine) {
    testing::HistoryFolder folder;
    const HistoryStore store(folder.path());
    constexpr int kEach = 150;
    const pid_t child = ::fork();
    if (child == 0) {
        // Odd minutes from the child, even ones from the parent, both at once.
        int failures = 0;
        for (int i = 0; i < kEach; ++i) {
            failures += store.append(snapshotAt(kDay, 2 * i + 1)) ? 1 : 0;
        }
        ::_exit(failures == 0 ? 0 : 1);
    }
    for (int i = 0; i < kEach; ++i) {
        EXPECT_FALSE(store.append(snapshotAt(kDay, 2 * i)));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const auto snapshots = store.snapshotsAround(kDay, kDay);
    ASSERT_EQ(snapshots.size(), 2u * kEach);
    for (int i = 0; i < 2 * kEach; ++i) {
        EXPECT_EQ(snapshots[i], snapshotAt(kDay, i));
    }
}
#endif

} // namespace
} // namespace quorvane::history
