// Another program reading the output file while Quorvane rewrites it: every read, however it
// falls against the writes, gets four whole lines.

#include "e2etesting.h"

#include <QTest>
#include <atomic>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <thread>

namespace quorvane::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kReadingTime = 10s;
constexpr int kReaderBudgetMs = 30000;
constexpr int kReadingBudgetMs = 20000;

// Four non-empty lines, each ended by CR LF, and nothing else.
bool fourWholeLines(const std::string& content) {
    const OutputLines found = lines(content);
    std::size_t length = 0;
    for (const std::string& line : found) {
        if (line.empty() || line.find_first_of("\r\n") != std::string::npos) {
            return false;
        }
        length += line.size() + 2;
    }
    return found.size() == 4 && length == content.size();
}

// What a reader running for a while has seen.
struct ReaderReport {
    int reads = 0;
    int unopened = 0;
    // The first few reads that were not four whole lines.
    std::vector<std::string> broken;
    std::set<std::string> contents;
};

// Reads `file` as fast as it can until `duration` has passed.
ReaderReport readFor(const std::filesystem::path& file,
                     std::chrono::steady_clock::duration duration) {
    ReaderReport report;
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            ++report.unopened;
            continue;
        }
        std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ++report.reads;
        if (!fourWholeLines(content)) {
            if (report.broken.size() < 5) {
                report.broken.push_back(content);
            }
            continue;
        }
        report.contents.insert(content);
    }
    return report;
}

TEST(WholeFile, AReaderRacingTheTwentyMillisecondWritesSeesOnlyFourWholeLines) {
    // The model's clock runs a minute a second, so successive readings differ.
    GatewayThread gateway([](sim::GatewaySimulator& simulator) {
        simulator.setClock(QDateTime(QDate(2025, 6, 21), QTime(11, 0), Qt::UTC), 60.0);
    });
    WindowRun program(gateway.address());
    program.startUp();
    program.typeDelay("20");
    ASSERT_EQ(program.window().timer().interval(), 20);
    ASSERT_TRUE(program.waitForOutput(hasReading, kReadingBudgetMs));

    std::atomic<bool> done = false;
    ReaderReport report;
    std::thread reader([&] {
        report = readFor(program.outputFile(), kReadingTime);
        done = true;
    });
    const bool finished = QTest::qWaitFor([&] { return done.load(); }, kReaderBudgetMs);
    reader.join();
    int served = 0;
    gateway.invoke([&](sim::GatewaySimulator& simulator) { served = simulator.requestsServed(); });

    ASSERT_TRUE(finished);
    EXPECT_EQ(report.broken, std::vector<std::string>{});
    EXPECT_EQ(report.unopened, 0);
    // The reads really fell among many writes.
    EXPECT_GT(report.contents.size(), 10u) << served << " replies, " << report.reads << " reads";
    RecordProperty("reads", report.reads);
    RecordProperty("contents", static_cast<int>(report.contents.size()));
    RecordProperty("replies", served);
}

} // namespace
} // namespace quorvane::testing
