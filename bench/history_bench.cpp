// The energy history's costs: a snapshot when one is due (parse the reply, append and sync a
// line), reading a month of minutes into its totals, and the size of a year of minutes.
#include "benchmain.h"
#include "common/testdoubles.h"
#include "history/historystore.h"
#include "history/localdays.h"
#include "history/recorder.h"
#include "history/totals.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace quorvane::bench {
namespace {

namespace fs = std::filesystem;
using history::LocalDate;
using history::Snapshot;

constexpr const char* kReply = "readings-fw7.6.175-production-and-net.json";
constexpr std::int64_t kMinute = 60;

// Minutes from the first second of `first` to that of `end`, with counters of the size a real
// gateway has after some years, rising as a sunny day's would.
std::map<LocalDate, std::string> minuteFiles(const LocalDate& first, const LocalDate& end) {
    std::map<LocalDate, std::string> files;
    Snapshot snapshot{history::localDayStart(first), 3183793.885, 8851.704, 3738205.282,
                      1776768.769};
    const std::int64_t stop = history::localDayStart(end);
    for (; snapshot.timestamp < stop; snapshot.timestamp += kMinute) {
        const int minuteOfDay = static_cast<int>((snapshot.timestamp / kMinute) % 1440);
        const double sun = minuteOfDay > 360 && minuteOfDay < 1200 ? 60.0 : 0.0;
        snapshot.productionDelivered += sun + 0.017;
        snapshot.productionReceived += 0.004;
        snapshot.secondDelivered += sun > 0 ? 1.113 : 7.021;
        snapshot.secondReceived += sun > 0 ? 31.377 : 0.0;
        auto& text = files[*history::localDateOf(snapshot.timestamp)];
        if (text.empty()) {
            text.append(history::kSnapshotHeader).append("\n");
        }
        text += history::snapshotLine(snapshot);
    }
    return files;
}

void writeFiles(const fs::path& folder, const std::map<LocalDate, std::string>& files) {
    const history::HistoryStore store(folder);
    for (const auto& [date, text] : files) {
        std::ofstream(store.fileFor(date), std::ios::binary) << text;
    }
}

// One snapshot a minute, as the recorder writes it when one is due.
void BM_SnapshotDue(benchmark::State& state) {
    testing::TempDir dir;
    const history::HistoryStore store(dir.path());
    std::string failure;
    history::Recorder recorder(store, [&failure](const std::string& text) { failure = text; });
    const std::string reply = testing::testData(kReply);
    const std::int64_t first = history::parseSnapshot(reply)->timestamp;
    std::int64_t timestamp = first;
    for (auto _ : state) {
        // The same counters a minute later each time: the reply's own timestamp is older.
        state.PauseTiming();
        std::string later = reply;
        const std::string from = std::to_string(first);
        const std::string to = std::to_string(timestamp);
        for (auto at = later.find(from); at != std::string::npos;
             at = later.find(from, at + to.size())) {
            later.replace(at, from.size(), to);
        }
        state.ResumeTiming();
        recorder.record(timestamp, later);
        timestamp += kMinute;
    }
    if (!failure.empty() || recorder.lastSnapshot() != timestamp - kMinute) {
        state.SkipWithError("the recorder wrote no snapshot");
    }
}
BENCHMARK(BM_SnapshotDue)->ComputeStatistics("min", minimumOf)->Unit(benchmark::kMicrosecond);

// The parse alone, of the part above: the readings reply into a snapshot.
void BM_ParseSnapshot(benchmark::State& state) {
    const std::string reply = testing::testData(kReply);
    if (!history::parseSnapshot(reply)) {
        state.SkipWithError("the reply has no snapshot");
        return;
    }
    for (auto _ : state) {
        auto snapshot = history::parseSnapshot(reply);
        benchmark::DoNotOptimize(snapshot);
    }
}
BENCHMARK(BM_ParseSnapshot)->ComputeStatistics("min", minimumOf);

// A month of minutes (31 files of 1,440 lines) read into the month's totals.
void BM_MonthEnergy(benchmark::State& state) {
    testing::TempDir dir;
    writeFiles(dir.path(), minuteFiles({2026, 6, 30}, {2026, 8, 2}));
    const history::HistoryStore store(dir.path());
    for (auto _ : state) {
        const auto month =
            history::monthEnergy(store, 2026, 7, history::SecondMeter::NetConsumption,
                                 {2026, 8, 1});
        if (month.days.size() != 31 || !month.complete) {
            state.SkipWithError("the month is not 31 complete days");
            break;
        }
        benchmark::DoNotOptimize(month.totals.produced);
    }
    state.counters["lines"] = 31 * 1440;
}
BENCHMARK(BM_MonthEnergy)->ComputeStatistics("min", minimumOf)->Unit(benchmark::kMillisecond);

// The bytes a year of minutes takes on the disk, as the counter "bytes".
void BM_YearOfMinutes(benchmark::State& state) {
    testing::TempDir dir;
    for (auto _ : state) {
        writeFiles(dir.path(), minuteFiles({2026, 1, 1}, {2027, 1, 1}));
    }
    std::uintmax_t bytes = 0;
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        bytes += entry.file_size();
        ++files;
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["files"] = static_cast<double>(files);
}
BENCHMARK(BM_YearOfMinutes)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quorvane::bench

int main(int argc, char** argv) {
    using namespace quorvane::bench;
    const auto results = runBenchmarks(argc, argv);
    if (!results) {
        return 1;
    }
    bool ok = true;
    if (const auto month = results->find("BM_MonthEnergy"); month != results->end()) {
        // Goal: under 100 ms on this machine size.
        const double ratio = month->second.wallSecondsPerIteration / 0.1;
        printRatio("month/100ms", ratio, 1.0);
        ok = ok && ratio <= 1.0;
    }
    if (const auto year = results->find("BM_YearOfMinutes"); year != results->end()) {
        // Goal: under 60 MB.
        const auto bytes = year->second.counters.find("bytes");
        const double ratio = bytes == year->second.counters.end() ? 2.0 : bytes->second / 60e6;
        printRatio("year/60MB", ratio, 1.0);
        ok = ok && ratio <= 1.0;
    }
    return ok ? 0 : 1;
}
