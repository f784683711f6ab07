// The energy history the built program keeps while it reads the simulator, run fast: what
// `--energy` makes of it against the simulator's own counters, and what a kill -9 leaves of it.

#include "e2etesting.h"
#include "history/historystore.h"
#include "history/snapshot.h"

#include <QByteArray>
#include <QDateTime>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace quorvane::testing {
namespace {

// The greeting and the token notice take five seconds each before polling starts.
constexpr int kStartUpBudgetMs = 40000;

// The zone both the program and the simulator (on this process's thread) count local days in
// for one scope; one away from UTC, so that a day taken in UTC shows.
class LocalZone {
public:
    static constexpr const char* kName = "Europe/Berlin";
    LocalZone() {
        ::setenv("TZ", kName, 1);
        ::tzset();
    }
    ~LocalZone() {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;
};

void useZone(ProgramRun& run) {
    QProcessEnvironment environment = run.process().processEnvironment();
    environment.insert("TZ", LocalZone::kName);
    run.process().setProcessEnvironment(environment);
}

std::filesystem::path historyFolder(const ProgramRun& run) {
    return run.dataFolder() / "Quorvane" / "history";
}

// The snapshots in the history file of a local day, "YYYY-MM-DD".
std::vector<history::Snapshot> snapshotsOf(const ProgramRun& run, const std::string& day) {
    return history::snapshotsInText(readFileBytes(historyFolder(run) / (day + ".csv")));
}

QDateTime simulatorNow(GatewayThread& gateway) {
    QDateTime now;
    gateway.invoke([&now](sim::GatewaySimulator& simulator) { now = simulator.clock().now(); });
    return now;
}

// Runs the event loop until the simulator's clock reaches `moment`.
bool waitForSimulatorTime(GatewayThread& gateway, const QDateTime& moment, int budgetMs) {
    return QTest::qWaitFor([&] { return simulatorNow(gateway) >= moment; }, budgetMs);
}

// Runs the event loop until the day's history holds a snapshot at or after `moment`.
bool waitForSnapshot(const ProgramRun& run, const std::string& day, const QDateTime& moment,
                     int budgetMs) {
    return QTest::qWaitFor(
        [&] {
            const std::vector<history::Snapshot> held = snapshotsOf(run, day);
            return !held.empty() && held.back().timestamp >= moment.toSecsSinceEpoch();
        },
        budgetMs);
}

QDateTime fromSeconds(std::int64_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds);
}

std::vector<std::string> reportLines(const QByteArray& output) {
    std::vector<std::string> result;
    std::istringstream text(output.toStdString());
    for (std::string line; std::getline(text, line);) {
        result.push_back(line);
    }
    return result;
}

// A report line against the simulator's energy: whole Wh, which may differ from the exact
// energy by half a Wh and the counters' third decimal in each of up to four differences.
void expectReportLine(const std::string& line, const std::string& date,
                      const SimulatorEnergy& expected, const std::string& complete) {
    SCOPED_TRACE(line);
    std::vector<std::string> fields;
    std::istringstream text(line);
    for (std::string field; std::getline(text, field, ',');) {
        fields.push_back(field);
    }
    ASSERT_EQ(fields.size(), 6U);
    EXPECT_EQ(fields[0], date);
    constexpr double kWhole = 0.5 + 4 * 0.001;
    EXPECT_NEAR(std::stod(fields[1]), expected.produced, kWhole);
    EXPECT_NEAR(std::stod(fields[2]), expected.consumed, kWhole);
    EXPECT_NEAR(std::stod(fields[3]), expected.imported, kWhole);
    EXPECT_NEAR(std::stod(fields[4]), expected.exported, kWhole);
    EXPECT_EQ(fields[5], complete);
}

// The program reads the simulator from 23:45 until 00:10 of the next day at a simulated minute
// per second, with one reading stopped on midnight itself; `--energy` then gives each day, and
// the month, the energy the simulator's counters count between the first and last snapshots the
// history holds and midnight.
TEST(EnergyHistory, ReportEqualsTheSimulatorsCountersAcrossItsMidnight) {
    const LocalZone zone;
    const QDate firstDay(2026, 6, 20);
    const QDateTime evening(firstDay, QTime(23, 45));
    const QDateTime midnight(firstDay.addDays(1), QTime(0, 0));
    GatewayThread gateway([&](sim::GatewaySimulator& simulator) {
        simulator.setClock(evening, 0.0);
    });
    ProgramRun run;
    useZone(run);
    run.start({gateway.address(), QStringLiteral("out.txt")});
    ASSERT_TRUE(waitForSnapshot(run, "2026-06-20", evening, kStartUpBudgetMs))
        << run.process().readAllStandardError().toStdString();

    gateway.invoke([&](sim::GatewaySimulator& simulator) {
        simulator.setClock(evening.addSecs(1), 60.0);
    });
    ASSERT_TRUE(waitForSimulatorTime(gateway, midnight.addSecs(-90), 60000));
    gateway.invoke([&](sim::GatewaySimulator& simulator) { simulator.setClock(midnight, 0.0); });
    ASSERT_TRUE(waitForSnapshot(run, "2026-06-21", midnight, 20000));
    gateway.invoke([&](sim::GatewaySimulator& simulator) {
        simulator.setClock(midnight.addSecs(1), 60.0);
    });
    ASSERT_TRUE(waitForSnapshot(run, "2026-06-21", midnight.addSecs(10 * 60), 60000));
    run.process().terminate();
    ASSERT_TRUE(run.process().waitForFinished(10000));

    const std::vector<history::Snapshot> before = snapshotsOf(run, "2026-06-20");
    const std::vector<history::Snapshot> after = snapshotsOf(run, "2026-06-21");
    ASSERT_FALSE(before.empty());
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(before.front().timestamp, evening.toSecsSinceEpoch());
    EXPECT_EQ(after.front().timestamp, midnight.toSecsSinceEpoch());
    // Each minute of the run is in the history, a simulated minute being a second of polling.
    EXPECT_GE(before.size() + after.size(), 20U);
    const SimulatorCounters first = gateway.countersAt(evening);
    const SimulatorCounters atMidnight = gateway.countersAt(midnight);
    const SimulatorCounters last = gateway.countersAt(fromSeconds(after.back().timestamp));
    const SimulatorEnergy evenings = energyBetween(first, atMidnight);
    // Energy flowed in both parts: the counters the report is taken from moved.
    EXPECT_GT(evenings.consumed, 50.0);
    EXPECT_GT(energyBetween(atMidnight, last).imported, 30.0);

    EXPECT_EQ(run.run({"--energy", "2026-06-20"}), 0);
    std::vector<std::string> report = reportLines(run.process().readAllStandardOutput());
    ASSERT_EQ(report.size(), 2U);
    EXPECT_EQ(report[0], "date,produced_wh,consumed_wh,imported_wh,exported_wh,complete");
    expectReportLine(report[1], "2026-06-20", evenings, "no");

    EXPECT_EQ(run.run({"--energy", "2026-06-21"}), 0);
    report = reportLines(run.process().readAllStandardOutput());
    ASSERT_EQ(report.size(), 2U);
    expectReportLine(report[1], "2026-06-21", energyBetween(atMidnight, last), "no");

    EXPECT_EQ(run.run({"--energy", "2026-06"}), 0);
    report = reportLines(run.process().readAllStandardOutput());
    ASSERT_EQ(report.size(), 4U);
    expectReportLine(report[3], "2026-06", energyBetween(first, last), "no");
}

// What one killed run's history must hold: parsable files with a header and one snapshot a
// line, a cut-off last line left uncounted, and a snapshot for each minute from the first to
// the one before the minute of the kill.
void expectHistoryUpToKill(const ProgramRun& run, const QDateTime& killed) {
    std::vector<history::Snapshot> all;
    ASSERT_TRUE(std::filesystem::is_directory(historyFolder(run)));
    for (const auto& entry : std::filesystem::directory_iterator(historyFolder(run))) {
        SCOPED_TRACE(entry.path().filename().string());
        const std::string text = readFileBytes(entry.path());
        std::size_t whole = 0;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1) {
            const std::string line = text.substr(start, end - start);
            if (whole++ == 0) {
                EXPECT_EQ(line, history::kSnapshotHeader);
            } else {
                EXPECT_TRUE(history::parseSnapshotLine(line)) << line;
            }
        }
        const std::vector<history::Snapshot> held = history::snapshotsInText(text);
        EXPECT_EQ(held.size() + 1, whole) << "a cut-off line counted: " << text.substr(start);
        all.insert(all.end(), held.begin(), held.end());
    }
    ASSERT_FALSE(all.empty());
    std::sort(all.begin(), all.end(),
              [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; });
    std::set<std::int64_t> minutes;
    for (const history::Snapshot& snapshot : all) {
        EXPECT_TRUE(minutes.insert(snapshot.timestamp / 60).second)
            << "two snapshots in the minute of " << snapshot.timestamp;
    }
    const std::int64_t lastWhole = killed.toSecsSinceEpoch() / 60 - 1;
    for (std::int64_t minute = *minutes.begin(); minute <= lastWhole; ++minute) {
        EXPECT_TRUE(minutes.count(minute) == 1)
            << "no snapshot in the minute of " << fromSeconds(minute * 60).toString().toStdString()
            << ", killed at " << killed.toString().toStdString();
    }
}

// Four runs of the program read a simulator that runs ten times as fast as real time, several
// readings to a simulated minute; each is killed with SIGKILL at a random moment.
TEST(EnergyHistoryKilled, KillNineLosesAtMostTheLastMinute) {
    const std::random_device::result_type seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> afterFirstSnapshotMs(2000, 20000);

    GatewayThread gateway([](sim::GatewaySimulator& simulator) {
        simulator.setClock(QDateTime(QDate(2026, 6, 20), QTime(11, 0)), 10.0);
    });
    constexpr int kRuns = 4;
    std::vector<std::unique_ptr<ProgramRun>> runs;
    for (int i = 0; i < kRuns; ++i) {
        runs.push_back(std::make_unique<ProgramRun>());
        runs.back()->start({gateway.address(), QStringLiteral("out.txt")});
    }
    for (const auto& run : runs) {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !snapshotsOf(*run, "2026-06-20").empty(); }, kStartUpBudgetMs))
            << run->process().readAllStandardError().toStdString();
    }

    struct Kill {
        int afterMs;
        ProgramRun* run;
        QDateTime at;
    };
    std::vector<Kill> kills;
    for (const auto& run : runs) {
        kills.push_back({afterFirstSnapshotMs(random), run.get(), {}});
    }
    std::sort(kills.begin(), kills.end(),
              [](const Kill& a, const Kill& b) { return a.afterMs < b.afterMs; });
    const auto begun = std::chrono::steady_clock::now();
    for (Kill& kill : kills) {
        QTest::qWait(kill.afterMs - static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                         std::chrono::steady_clock::now() - begun)
                                                         .count()));
        // The program's readings are never later than the simulator's clock.
        kill.at = simulatorNow(gateway);
        ASSERT_EQ(::kill(static_cast<pid_t>(kill.run->process().processId()), SIGKILL), 0);
        ASSERT_TRUE(kill.run->process().waitForFinished(5000));
        EXPECT_EQ(kill.run->process().exitStatus(), QProcess::CrashExit);
    }

    for (const Kill& kill : kills) {
        SCOPED_TRACE("killed " + std::to_string(kill.afterMs) + " ms after every run had a snapshot");
        expectHistoryUpToKill(*kill.run, kill.at);
    }
}

} // namespace
} // namespace quorvane::testing
