#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the program takes from its command line and its executable's name. Standard C++ only, so
// the rules can be checked without a window.
namespace quorvane::support {

// The arguments the program was started with, after its own name, in UTF-8. On Windows they come
// from the wide command line, so that a name such as "Zählerstände.txt" survives whatever the
// ANSI code page; elsewhere they are argv's texts in the locale's encoding (fromSystemCodePage).
std::vector<std::string> programArguments(int argc, char** argv);

// The program's arguments (without its own name) joined by single blanks.
std::string argumentText(const std::vector<std::string>& arguments);

// What the argument text sets: the IP text alone, or the IP text and the OutFile text.
struct CommandLineTargets {
    std::optional<std::string> ip;
    std::optional<std::string> outFile;

    bool operator==(const CommandLineTargets&) const = default;
};

// The start-up rule: a text without any "." sets nothing; otherwise the text before the first
// blank is the address and everything after that blank (inner blanks included) the file name;
// with no blank the whole text is the address. The text is used unchanged.
CommandLineTargets commandLineTargets(std::string_view argumentText);

// The file name of `programPath` without folder and without its last extension ("QuorvaneB"
// for "/opt/q/QuorvaneB" and for "C:\q\QuorvaneB.exe").
std::string executableBaseName(std::string_view programPath);

// Whether a program started as `programPath` is the consumption variant: its base name is
// exactly "QuorvaneB", letter case included.
bool isConsumptionVariant(std::string_view programPath);

// What a run of the program is asked to do by its "--" options.
enum class ProgramAction { Run, Help, Version, ForgetCertificates, Energy, UnknownOption };

// The program's options taken off its arguments.
struct ProgramOptions {
    ProgramAction action = ProgramAction::Run;
    // The first option that is not known, for the error message.
    std::string unknownOption;
    // The arguments that are left for the start-up rule, in their order.
    std::vector<std::string> arguments;
    // --energy's day or month ("--energy DAY", "--energy=DAY"); none for today.
    std::optional<std::string> energyArgument;
};

// Takes every argument that begins with "--" off `arguments`, and the one after --energy unless
// it begins with "--"; a lone "--" ends the options, so the arguments after it stay as they are.
// An unknown option wins over the others, then --help, --version, --forget-certificates and
// --energy in that order.
ProgramOptions parseProgramOptions(const std::vector<std::string>& arguments);

// The --help text: command line, options and files.
std::string usageText();

// The --version line without line end: "Quorvane 3.1.4".
std::string versionLine();

} // namespace quorvane::support
