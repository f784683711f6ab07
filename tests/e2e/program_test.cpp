// The built program as a user starts it, against the gateway simulator on 127.0.0.1. Every run
// gets a loopback address on its command line, its own settings store and working folder.

#include "common/legacylocale.h"
#include "e2etesting.h"
#include "support/supporttest.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace quorvane::testing {
namespace {

// The greeting and the token notice take five seconds each before polling starts.
constexpr int kStartUpBudgetMs = 40000;
// A failed request is announced for fifteen seconds before the cycle goes on.
constexpr int kFailureBudgetMs = 40000;

// The simulator on 127.0.0.1 answering with a real gateway reply.
struct AgainstSimulator : ::testing::Test {
    void SetUp() override {
        simulator.setFixedReply(
            200, QByteArray::fromStdString(testData("readings-fw7.6.175-production-and-net.json")));
        ASSERT_TRUE(simulator.listen()) << simulator.errorString().toStdString();
    }

    // "127.0.0.1:PORT out.txt", the command line a user gives.
    QStringList commandLine() const { return {simulator.address(), QStringLiteral("out.txt")}; }

    sim::GatewaySimulator simulator;
};

TEST_F(AgainstSimulator, ReadingsReachTheOutputFileAndAFailedRequestShowsWrongAddress) {
    ProgramRun run;
    run.start(commandLine());

    ASSERT_TRUE(run.waitForOutput(hasReading, kStartUpBudgetMs))
        << run.process().readAllStandardError().toStdString();
    const std::vector<std::string> shown = run.output();
    // 1693745133 in UTC, in the short date and long time of en_US.
    EXPECT_EQ(shown[0], "9/3/2023 12:45:33 PM");
    EXPECT_EQ(shown[1], "488.9");

    simulator.close();
    EXPECT_TRUE(run.waitForOutput(
        [](const std::vector<std::string>& now) {
            return now.size() == 4 && now[0] == "Wrong/No IP address";
        },
        kFailureBudgetMs));
    const std::vector<std::string> after = run.output();
    ASSERT_EQ(after.size(), 4u);
    // The failed reading changes the time stamp alone.
    EXPECT_EQ(after[1], shown[1]);
    EXPECT_EQ(after[2], shown[2]);
    EXPECT_EQ(after[3], shown[3]);
    EXPECT_EQ(run.process().state(), QProcess::Running);
}

TEST_F(AgainstSimulator, StartedAsQuorvaneBTheSecondMeterIsConsumption) {
    ProgramRun grid;
    ProgramRun consumption(QStringLiteral(QUORVANE_PROGRAM_B));
    grid.start(commandLine());
    consumption.start(commandLine());
    ASSERT_TRUE(grid.waitForOutput(hasReading, kStartUpBudgetMs));
    ASSERT_TRUE(consumption.waitForOutput(hasReading, kStartUpBudgetMs));
    const std::vector<std::string> asGrid = grid.output();
    const std::vector<std::string> asConsumption = consumption.output();
    EXPECT_EQ(asGrid[0], asConsumption[0]);
    EXPECT_EQ(asGrid[1], asConsumption[1]);
    EXPECT_NE(asGrid[2], asConsumption[2]);
}

TEST_F(AgainstSimulator, TerminationClosesTheWindowNormallyAndTheCertificatePinCanBeForgotten) {
    ProgramRun run;
    run.start(commandLine());
    ASSERT_TRUE(run.waitForOutput(hasReading, kStartUpBudgetMs));

    run.process().terminate();
    ASSERT_TRUE(run.process().waitForFinished(10000));
    EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process().exitCode(), 0);
    const std::string saved = readFileBytes(run.settingsFile());
    EXPECT_NE(saved.find("IP=" + simulator.address().toStdString()), std::string::npos) << saved;

    EXPECT_EQ(run.run({"--forget-certificates"}), 0);
    EXPECT_EQ(run.process().readAllStandardOutput(), "Forgot 1 pinned gateway certificate.\n");
    EXPECT_EQ(run.run({"--forget-certificates"}), 0);
    EXPECT_EQ(run.process().readAllStandardOutput(), "Forgot 0 pinned gateway certificates.\n");
}

TEST_F(AgainstSimulator, QtsOwnOptionsAreTextOfTheCommandLineLikeAnyOther) {
    ProgramRun run;
    run.setOutputFile("-reverse out.txt");
    run.start({simulator.address(), QStringLiteral("-reverse"), QStringLiteral("out.txt")});
    EXPECT_TRUE(run.waitForOutput(hasReading, kStartUpBudgetMs))
        << run.process().readAllStandardError().toStdString();
}

// The output file prepared by an administrator where the user may write the file but not
// replace it: in a folder closed to new files, and (as root only, who can prepare a file that
// another user may write but does not own) in a shared folder with the sticky bit, as /tmp.
// The program runs as an ordinary user (as nobody when the test runs as root, who may write
// anywhere) and keeps the file current by rewriting it in place.
TEST_F(AgainstSimulator, OutputFileThatCannotBeReplacedWholeIsStillRewritten) {
    namespace fs = std::filesystem;
    constexpr uid_t kNobody = 65534;
    const bool asRoot = ::geteuid() == 0;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (asRoot && setpriv.isEmpty()) {
        GTEST_SKIP() << "running as root without setpriv (util-linux) to become nobody";
    }
    const std::vector<std::string> folders =
        asRoot ? std::vector<std::string>{"closed", "sticky"} : std::vector<std::string>{"closed"};
    std::vector<std::unique_ptr<ProgramRun>> runs;
    for (const std::string& name : folders) {
        auto& run = *runs.emplace_back(
            std::make_unique<ProgramRun>(asRoot ? setpriv : QStringLiteral(QUORVANE_PROGRAM)));
        const fs::path folder = run.workFolder() / name;
        fs::create_directory(folder);
        writeFileBytes(folder / "out.txt", "prepared\r\n");
        if (asRoot) {
            for (const fs::path& own : {run.configFolder(), run.workFolder()}) {
                ASSERT_EQ(::chown(own.c_str(), kNobody, kNobody), 0);
                for (const auto& entry : fs::recursive_directory_iterator(own)) {
                    ASSERT_EQ(::chown(entry.path().c_str(), kNobody, kNobody), 0);
                }
            }
            // The folder stays root's: closed, or open to all with the sticky bit, where the
            // file stays root's too, writable by all.
            const fs::path owned = name == "sticky" ? folder / "out.txt" : folder;
            ASSERT_EQ(::chown(folder.c_str(), 0, 0), 0);
            ASSERT_EQ(::chown(owned.c_str(), 0, 0), 0);
            fs::permissions(folder, name == "sticky"
                                        ? fs::perms::all | fs::perms::sticky_bit
                                        : fs::perms::owner_all | fs::perms::group_read |
                                              fs::perms::group_exec | fs::perms::others_read |
                                              fs::perms::others_exec);
            fs::permissions(folder / "out.txt", fs::perms::owner_read | fs::perms::owner_write |
                                                    fs::perms::group_read | fs::perms::group_write |
                                                    fs::perms::others_read |
                                                    fs::perms::others_write);
        } else {
            fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        }
        QStringList arguments = {simulator.address(), QString::fromStdString(name + "/out.txt")};
        if (asRoot) {
            arguments =
                QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                            QStringLiteral("--clear-groups"), QStringLiteral("--"),
                            QStringLiteral(QUORVANE_PROGRAM)} +
                arguments;
        }
        run.start(arguments);
    }

    for (std::size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE(folders[i]);
        const fs::path folder = runs[i]->workFolder() / folders[i];
        const bool rewritten = QTest::qWaitFor(
            [&] { return hasReading(lines(readFileBytes(folder / "out.txt"))); }, kStartUpBudgetMs);
        fs::permissions(folder, fs::perms::owner_all);
        EXPECT_TRUE(rewritten) << readFileBytes(folder / "out.txt")
                               << runs[i]->process().readAllStandardError().toStdString();
        EXPECT_EQ(namesIn(folder), std::vector<std::string>{"out.txt"});
    }
}

// A user of a legacy 8-bit locale (de_DE.ISO-8859-1) starts the program in a folder with a
// Latin-1 name and names the output file there in Latin-1 too: the token is read from that
// folder and the readings reach the file under the very name given.
TEST_F(AgainstSimulator, Latin1FolderAndFileNamesWorkInALegacyLocale) {
    namespace fs = std::filesystem;
    const LegacyLocale locale;
    ASSERT_TRUE(locale.ready()) << locale.problem();
    ProgramRun run(QStringLiteral("/bin/sh"));
    const std::string folder = "Z\xE4hler";
    fs::create_directory(run.workFolder() / folder);
    fs::copy_file(run.workFolder() / "mytoken.txt", run.workFolder() / folder / "mytoken.txt");
    run.setOutputFile(folder + "/out \xFC.txt");
    QProcessEnvironment environment = run.process().processEnvironment();
    environment.insert("LC_ALL", LegacyLocale::kName);
    if (!locale.locpath().empty()) {
        environment.insert("LOCPATH", QString::fromStdString(locale.locpath()));
    }
    run.process().setProcessEnvironment(environment);
    // QProcess hands its arguments over in UTF-8; the shell's printf gives them Latin-1 bytes.
    run.start({QStringLiteral("-c"),
               QStringLiteral("cd \"$(printf 'Z\\344hler')\" && "
                              "exec \"$0\" \"$1\" \"$PWD/$(printf 'out \\374.txt')\""),
               QStringLiteral(QUORVANE_PROGRAM), simulator.address()});

    ASSERT_TRUE(run.waitForOutput(hasReading, kStartUpBudgetMs))
        << run.process().readAllStandardError().toStdString();
    EXPECT_EQ(namesIn(run.workFolder() / folder),
              (std::vector<std::string>{"mytoken.txt", "out \xFC.txt"}));
}

// Options run before any window: a platform that cannot open one must not matter.
TEST(Options, VersionHelpAndAnUnknownOptionNeedNoWindow) {
    const TempDir config;
    QProcessEnvironment environment = programEnvironment(config.path());
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    QProcess program;
    program.setProcessEnvironment(environment);

    program.start(QStringLiteral(QUORVANE_PROGRAM), {"--version"});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardOutput(), "Quorvane 3.1.4\n");

    // The help names every file the program reads or writes, each at the start of its line.
    program.start(QStringLiteral(QUORVANE_PROGRAM), {"--help"});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 0);
    const std::string help = program.readAllStandardOutput().toStdString();
    EXPECT_EQ(help.rfind("Usage: Quorvane [OPTION]... [ADDRESS [OUTPUT-FILE]]\n", 0), 0U) << help;
    const std::size_t files = help.find("\nFiles:\n");
    ASSERT_NE(files, std::string::npos) << help;
    for (const char* file : {"mytoken.txt", "OUTPUT-FILE", "LarkspurstationError.log",
                             "$XDG_CONFIG_HOME/Quorvane/Quorvane.conf"}) {
        EXPECT_NE(help.find(std::string("\n  ") + file + ' ', files), std::string::npos) << file;
    }

    program.start(QStringLiteral(QUORVANE_PROGRAM), {"127.0.0.1:1", "--colour"});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_EQ(program.readAllStandardError(),
              "Quorvane: unknown option --colour (see Quorvane --help)\n");
    EXPECT_EQ(program.readAllStandardOutput(), "");
}

} // namespace
} // namespace quorvane::testing

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
