// The settings store across starts of the built program: what a close by SIGTERM leaves in it,
// and what the next start takes from it. Every start gets the simulator's loopback address on
// its command line, so a setting that fails to come back never sends anything elsewhere.

#include "e2etesting.h"
#include "support/supporttest.h"

#include <QSettings>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace quorvane::testing {
namespace {

// The token notice and the greeting take five seconds each before polling starts.
constexpr int kStartUpBudgetMs = 40000;

using Stored = std::map<std::string, std::string>;

// Section "Settings" of a settings file, key by key.
Stored storedSettings(const std::filesystem::path& file) {
    QSettings store(QString::fromStdString(file.string()), QSettings::IniFormat);
    store.beginGroup(QStringLiteral("Settings"));
    Stored values;
    for (const QString& key : store.childKeys()) {
        values[key.toStdString()] = store.value(key).toString().toStdString();
    }
    return values;
}

// Ends the program as the session's end or `kill` does; true when it closed normally.
bool terminate(ProgramRun& run) {
    run.process().terminate();
    return run.process().waitForFinished(10000) &&
           run.process().exitStatus() == QProcess::NormalExit && run.process().exitCode() == 0;
}

// The simulator on 127.0.0.1 answering with a real gateway reply.
struct SettingsAcrossStarts : ::testing::Test {
    void SetUp() override {
        serve("readings-fw7.6.175-production-and-net.json");
        ASSERT_TRUE(simulator.listen()) << simulator.errorString().toStdString();
    }

    void serve(const std::string& reply) {
        simulator.setFixedReply(200, QByteArray::fromStdString(testData(reply)));
    }

    QStringList commandLine() const { return {simulator.address(), QStringLiteral("out.txt")}; }
    std::string address() const { return simulator.address().toStdString(); }

    sim::GatewaySimulator simulator;
};

TEST_F(SettingsAcrossStarts, AFirstRunClosedBySigtermStoresEveryKey) {
    ProgramRun run;
    std::filesystem::remove(run.settingsFile());
    run.start(commandLine());
    // Writing is off in an empty store; the gateway's count shows that polling has begun.
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return simulator.requestsServed() > 0; }, kStartUpBudgetMs));
    ASSERT_TRUE(terminate(run));

    Stored saved = storedSettings(run.settingsFile());
    // Where the window stood was the window system's choice; it is stored on the screen.
    for (const char* key : {"Top", "Left"}) {
        ASSERT_EQ(saved.count(key), 1U) << key;
        EXPECT_GE(std::stoi(saved[key]), 0) << key;
        saved.erase(key);
    }
    // The design's client size with the window's frame around it, short of the next presets.
    ASSERT_EQ(saved.count("Width"), 1U);
    ASSERT_EQ(saved.count("Height"), 1U);
    EXPECT_GE(std::stoi(saved["Width"]), 4410);
    EXPECT_LT(std::stoi(saved["Width"]), 4575);
    EXPECT_GE(std::stoi(saved["Height"]), 1530);
    EXPECT_LT(std::stoi(saved["Height"]), 2160);
    saved.erase("Width");
    saved.erase("Height");
    // The command line's address and file, writing off, not on top.
    EXPECT_EQ(
        saved,
        (Stored{{"IP", address()}, {"OutFile", "out.txt"}, {"Write", "0"}, {"OnTop", "False"}}));
    EXPECT_TRUE(run.output().empty());
}

TEST_F(SettingsAcrossStarts, AStartWithoutArgumentsRestoresWhatTheLastOneStored) {
    ProgramRun run;
    // As an earlier run left them: both panels, stay on top, writing on.
    writeFileBytes(run.settingsFile(), "[Settings]\nTop=150\nLeft=300\nHeight=3560\nWidth=9165\n"
                                       "IP=127.0.0.1:1\nWrite=1\nOnTop=True\n");
    run.setOutputFile("meter readings.txt");
    run.start({simulator.address(), QStringLiteral("meter readings.txt")});
    ASSERT_TRUE(run.waitForOutput(hasReading, kStartUpBudgetMs));
    ASSERT_TRUE(terminate(run));
    // Ticking the write box at start narrows the window to the phase panel's width.
    const Stored saved{{"Top", "150"},    {"Left", "300"},   {"Height", "3560"},
                       {"Width", "5265"}, {"IP", address()}, {"OutFile", "meter readings.txt"},
                       {"Write", "1"},    {"OnTop", "True"}};
    EXPECT_EQ(storedSettings(run.settingsFile()), saved);

    // A reply with another time stamp: the output file shows it only if writing came back on,
    // and the address and the file came back from the store.
    const std::string firstStamp = run.output().at(0);
    serve("readings-fw8.2.4345-production-and-net.json");
    run.start({});
    ASSERT_TRUE(run.waitForOutput(
        [&firstStamp](const OutputLines& shown) {
            return hasReading(shown) && shown[0] != firstStamp;
        },
        kStartUpBudgetMs));
    ASSERT_TRUE(terminate(run));
    EXPECT_EQ(storedSettings(run.settingsFile()), saved);
    EXPECT_EQ(namesIn(run.workFolder()),
              (std::vector<std::string>{"meter readings.txt", "mytoken.txt"}));
}

} // namespace
} // namespace quorvane::testing
