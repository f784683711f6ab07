#include "support/commandline.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(parseProgramOptions({"--forget-certificates"}).action,
              ProgramAction::ForgetCertificates);
    // Qt's own options have one dash and are no concern of the program.
    EXPECT_EQ(parseProgramOptions({"-platform", "offscreen"}).action, ProgramAction::Run);
}

} // namespace
} // namespace quorvane::support
