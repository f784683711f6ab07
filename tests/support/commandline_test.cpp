#include "support/commandline.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quorvane::support {
namespace {

template <class Row> std::string rowName(const ::testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

struct RuleCase {
    const char* name;
    const char* argumentText;
    CommandLineTargets expected;
};

void PrintTo(const RuleCase& row, std::ostream* out) {
    *out << row.name;
}

class CommandLineRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(CommandLineRule, SetsAddressAndFileAsTheStartUpRuleSays) {
    EXPECT_EQ(commandLineTargets(GetParam().argumentText), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineRule,
    ::testing::Values(
        RuleCase{"NoArguments", "", {}}, RuleCase{"NoPeriodAnywhere", "envoy out", {}},
        RuleCase{"AddressAlone", "10.0.0.7", {"10.0.0.7", std::nullopt}},
        RuleCase{"AddressAndFile", "127.0.0.1:8443 out.txt", {"127.0.0.1:8443", "out.txt"}},
        RuleCase{
            "FileNameWithInnerBlanks", "10.0.0.7 My Meters.txt", {"10.0.0.7", "My Meters.txt"}},
        RuleCase{"HostNameWithPeriod", "envoy.local", {"envoy.local", std::nullopt}},
        RuleCase{"PeriodOnlyInTheFileName", "envoy meters.txt", {"envoy", "meters.txt"}},
        RuleCase{"TextUsedUnchanged", " 10.0.0.7", {"", "10.0.0.7"}},
        RuleCase{"TrailingBlankGivesEmptyFile", "10.0.0.7 ", {"10.0.0.7", ""}},
        RuleCase{"QuotesKept", "\"10.0.0.7\" \"a b.txt\"", {"\"10.0.0.7\"", "\"a b.txt\""}}),
    rowName<RuleCase>);

TEST(ArgumentText, JoinsTheArgumentsWithSingleBlanks) {
    EXPECT_EQ(argumentText({}), "");
    EXPECT_EQ(argumentText({"10.0.0.7", "My", "Meters.txt"}), "10.0.0.7 My Meters.txt");
    EXPECT_EQ(argumentText({"a", "", "b"}), "a  b");
}

struct NameCase {
    const char* name;
    const char* programPath;
    const char* baseName;
    bool variant;
};

void PrintTo(const NameCase& row, std::ostream* out) {
    *out << row.name;
}

class ExecutableName : public ::testing::TestWithParam<NameCase> {};

TEST_P(ExecutableName, SelectsTheConsumptionVariantOnlyForQuorvaneB) {
    EXPECT_EQ(executableBaseName(GetParam().programPath), GetParam().baseName);
    EXPECT_EQ(isConsumptionVariant(GetParam().programPath), GetParam().variant);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExecutableName,
    ::testing::Values(NameCase{"Program", "/opt/quorvane/Quorvane", "Quorvane", false},
                      NameCase{"Variant", "/opt/quorvane/QuorvaneB", "QuorvaneB", true},
                      NameCase{"VariantStartedFromPath", "QuorvaneB", "QuorvaneB", true},
                      NameCase{"VariantWithExtension", "./QuorvaneB.exe", "QuorvaneB", true},
                      NameCase{"LowerCase", "/opt/quorvane/quorvaneb", "quorvaneb", false},
                      NameCase{"UpperCase", "/opt/quorvane/QUORVANEB", "QUORVANEB", false},
                      NameCase{"LongerName", "/opt/QuorvaneBeta", "QuorvaneBeta", false},
                      NameCase{"FolderNamedLikeTheVariant", "/QuorvaneB/Quorvane", "Quorvane",
                               false}),
    rowName<NameCase>);

TEST(ProgramOptions, TakesOptionsOffAndLeavesTheRestInOrder) {
    const ProgramOptions options = parseProgramOptions({"10.0.0.7", "--version", "out.txt"});
    EXPECT_EQ(options.action, ProgramAction::Version);
    EXPECT_EQ(options.arguments, (std::vector<std::string>{"10.0.0.7", "out.txt"}));
    // After a lone "--" nothing is an option.
    const ProgramOptions ended = parseProgramOptions({"--", "--odd name.txt"});
    EXPECT_EQ(ended.action, ProgramAction::Run);
    EXPECT_EQ(ended.arguments, (std::vector<std::string>{"--odd name.txt"}));
}

TEST(ProgramOptions, UnknownWinsThenHelpThenVersionThenForgetting) {
    const ProgramOptions unknown = parseProgramOptions({"--help", "--verbose", "--quiet"});
    EXPECT_EQ(unknown.action, ProgramAction::UnknownOption);
    EXPECT_EQ(unknown.unknownOption, "--verbose");
    EXPECT_EQ(parseProgramOptions({"--forget-certificates", "--version", "--help"}).action,
              ProgramAction::Help);
    EXPECT_EQ(parseProgramOptions({"--forget-certificates", "--version"}).action,
              ProgramAction::Version);
    EXPECT_EQ(parseProgramOptions({"--energy", "--forget-certificates"}).action,
              ProgramAction::ForgetCertificates);
    // Qt's own options have one dash and are no concern of the program.
    EXPECT_EQ(parseProgramOptions({"-platform", "offscreen"}).action, ProgramAction::Run);
}

TEST(ProgramOptions, EnergyTakesTheDayOrMonthAfterIt) {
    struct Row {
        std::vector<std::string> arguments;
        std::optional<std::string> energyArgument;
        std::vector<std::string> left;
        ProgramAction action = ProgramAction::Energy;
    };
    const Row rows[] = {
        {{"--energy"}, std::nullopt, {}},
        {{"--energy", "2026-06-21"}, "2026-06-21", {}},
        {{"--energy=2026-06"}, "2026-06", {}},
        {{"--energy", "--", "2026-06"}, std::nullopt, {"2026-06"}},
        {{"10.0.0.7", "--energy", "2026-6", "out.txt"}, "2026-6", {"10.0.0.7", "out.txt"}},
        {{"--", "--energy"}, std::nullopt, {"--energy"}, ProgramAction::Run},
    };
    for (const auto& row : rows) {
        const ProgramOptions options = parseProgramOptions(row.arguments);
        EXPECT_EQ(options.action, row.action);
        EXPECT_EQ(options.energyArgument, row.energyArgument);
        EXPECT_EQ(options.arguments, row.left);
    }
}

#ifdef _WIN32
// The started half of the test below: with QUORVANE_ECHO_ARGUMENTS naming a file, it writes the
// program arguments it finds into it, one a line.
TEST(ProgramArguments, Echo) {
    const char* echo = std::getenv("QUORVANE_ECHO_ARGUMENTS");
    if (echo == nullptr) {
        GTEST_SKIP() << "started by ProgramArguments.ComeFromTheWideCommandLineInUtf8";
    }
    std::ofstream out(echo, std::ios::binary);
    for (const std::string& argument : programArguments(0, nullptr)) {
        out << argument << '\n';
    }
}

TEST(ProgramArguments, ComeFromTheWideCommandLineInUtf8) {
    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("quorvane-arguments-" + std::to_string(GetCurrentProcessId()) + ".txt");
    // Omega is in no ANSI code page of the Latin scripts.
    std::wstring line = L"\"" + std::wstring(self) +
                        L"\" --gtest_filter=ProgramArguments.Echo 10.0.0.7 "
                        L"\"Z\u00e4hlerst\u00e4nde \u03a9.txt\"";
    ASSERT_TRUE(SetEnvironmentVariableA("QUORVANE_ECHO_ARGUMENTS", file.string().c_str()));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const bool ran = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                    nullptr, &startup, &started);
    SetEnvironmentVariableA("QUORVANE_ECHO_ARGUMENTS", nullptr);
    ASSERT_TRUE(ran);
    WaitForSingleObject(started.hProcess, INFINITE);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);

    std::ifstream in(file, std::ios::binary);
    const std::string echoed{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    in.close();
    std::filesystem::remove(file);
    EXPECT_EQ(echoed, "--gtest_filter=ProgramArguments.Echo\n10.0.0.7\n"
                      "Z\xC3\xA4hlerst\xC3\xA4nde \xCE\xA9.txt\n");
}
#else
TEST(ProgramArguments, AreArgvAfterTheProgramsName) {
    char name[] = "/opt/quorvane/Quorvane";
    char address[] = "10.0.0.7";
    char file[] = "Z\xC3\xA4hlerst\xC3\xA4nde.txt";
    char* argv[] = {name, address, file, nullptr};
    EXPECT_EQ(programArguments(3, argv), (std::vector<std::string>{address, file}));
    EXPECT_EQ(programArguments(1, argv), std::vector<std::string>{});
}
#endif

} // namespace
} // namespace quorvane::support
