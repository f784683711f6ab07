// One reading cycle on a real gateway reply, side by side with Qt's JSON parser reading the same
// text: the cycle cuts the reply at its commas and looks at each entry once, which should cost
// well under half of building a JSON document.
#include "benchmain.h"
#include "common/testdoubles.h"
#include "history/recorder.h"
#include "reading/readingcycle.h"
#include "reading/replywalk.h"
#include "support/errorlog.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <benchmark/benchmark.h>
#include <string>

namespace quorvane::bench {
namespace {

using reading::Box;

constexpr const char* kReply = "readings-fw7.6.175-production-and-net.json";

// The gateway as the cycle sees it: every request answered with the same body at once.
class FixedReply final : public gateway::HttpGet {
public:
    explicit FixedReply(std::string body) : m_body(std::move(body)) {}

    void ApiGet(const std::string&, const std::string&, std::string& reply, std::string&) override {
        reply = m_body;
    }

private:
    std::string m_body;
};

// A cycle over in-memory boxes, writing off, in a UTC+1 zone.
struct CycleRig {
    testing::TempDir dir;
    testing::MemoryBoxes boxes;
    testing::RecordingNotices notices;
    testing::RecordingReplyBox replyBox;
    FixedReply http{testing::testData(kReply)};
    testing::ManualClock clock;
    testing::FixedLocale locale;
    testing::FixedZone zone;
    support::ErrorLog log{clock, locale, dir.path()};
    reading::ReadingCycle cycle{{boxes, notices, replyBox, http, clock, locale, zone, log, {},
                                 [this](const reading::ShownReading& shown) {
                                     boxes.draw(shown);
                                 }}};

    CycleRig() {
        zone.zone = {1, -60};
        boxes.writeCheck = 0;
        cycle.setShown(boxes.shown());
        cycle.updateTimeZoneBias();
    }
};

void BM_ReadingCycle(benchmark::State& state) {
    CycleRig rig;
    rig.cycle.QuorvaneRead();
    // A cycle that failed or showed nothing would be quick for the wrong reason.
    if (!rig.notices.shown.empty() || rig.boxes.text(Box::Production) != "488.9" ||
        rig.boxes.text(Box::V3) != "4.6") {
        state.SkipWithError("the cycle did not show the reply's readings");
        return;
    }
    for (auto _ : state) {
        rig.cycle.QuorvaneRead();
    }
    benchmark::DoNotOptimize(rig.boxes.changes);
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(rig.cycle.responseText().size()));
}
BENCHMARK(BM_ReadingCycle)->ComputeStatistics("min", minimumOf);

// The energy history's part of a cycle when no snapshot is due (59 readings in 60): the reading
// in the same minute as the last snapshot is let go without parsing.
void BM_RecorderNotDue(benchmark::State& state) {
    testing::TempDir dir;
    const history::HistoryStore store(dir.path());
    history::Recorder recorder(store, {});
    const std::string reply = testing::testData(kReply);
    const std::int64_t first = history::parseSnapshot(reply)->timestamp;
    recorder.record(first, reply);
    const std::int64_t secondsLeft = 59 - first % 60;
    if (recorder.lastSnapshot() != first || secondsLeft < 1) {
        state.SkipWithError("no snapshot to start from");
        return;
    }
    std::int64_t i = 0;
    for (auto _ : state) {
        recorder.record(first + 1 + i % secondsLeft, reply);
        ++i;
    }
    if (recorder.lastSnapshot() != first) {
        state.SkipWithError("a snapshot was written");
    }
}
BENCHMARK(BM_RecorderNotDue)->ComputeStatistics("min", minimumOf);

// The walk alone, its key tests doing nothing: what cutting and searching the reply costs.
class CountingTests final : public reading::EntryTests {
public:
    void timeStampRule(std::string_view) override { ++calls; }
    void GetVolts(std::string_view) override { ++calls; }
    void GetPFs(std::string_view) override { ++calls; }
    void GetAmps(std::string_view) override { ++calls; }
    void powerRule(std::string_view, support::Trap&) override { ++calls; }

    int calls = 0;
};

void BM_ReplyWalk(benchmark::State& state) {
    const std::string reply = testing::testData(kReply);
    CountingTests tests;
    for (auto _ : state) {
        support::Trap trap = support::Trap::resumeSilently();
        reading::walkReply(reply, tests, trap);
    }
    benchmark::DoNotOptimize(tests.calls);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(reply.size()));
}
BENCHMARK(BM_ReplyWalk)->ComputeStatistics("min", minimumOf);

void BM_QJsonParse(benchmark::State& state) {
    const QByteArray reply = QByteArray::fromStdString(testing::testData(kReply));
    QJsonParseError error{};
    if (QJsonDocument::fromJson(reply, &error).isNull()) {
        state.SkipWithError("the reply is not JSON");
        return;
    }
    for (auto _ : state) {
        QJsonDocument document = QJsonDocument::fromJson(reply);
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(state.iterations() * reply.size());
}
BENCHMARK(BM_QJsonParse)->ComputeStatistics("min", minimumOf);

} // namespace
} // namespace quorvane::bench

int main(int argc, char** argv) {
    using namespace quorvane::bench;
    const auto results = runBenchmarks(argc, argv);
    if (!results) {
        return 1;
    }
    // CPU time: the three run on one thread, and a loaded machine stretches wall time unevenly.
    const bool cycle =
        printRatio(*results, "cycle/qjson", "BM_ReadingCycle", "BM_QJsonParse", 0.5, TimeBase::Cpu);
    const bool walk =
        printRatio(*results, "walk/qjson", "BM_ReplyWalk", "BM_QJsonParse", 0.5, TimeBase::Cpu);
    // The history's recording adds at most 5 % to a cycle when no snapshot is due.
    const bool recording = printRatio(*results, "recorder/cycle", "BM_RecorderNotDue",
                                      "BM_ReadingCycle", 0.05, TimeBase::Cpu);
    return cycle && walk && recording ? 0 : 1;
}
