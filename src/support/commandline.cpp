#include "support/commandline.h"

#include "quorvane/version.h"
#include "support/systemtext.h"
#include "support/win32.h"

#include <algorithm>

#ifdef _WIN32
#include <shellapi.h>
#endif

namespace quorvane::support {

namespace {

// Where the settings store keeps its data on this platform.
#ifdef _WIN32
constexpr const char* kSettingsPlace =
    "  HKEY_CURRENT_USER\\Software\\Quorvane\\Quorvane (the registry)\n";
#else
constexpr const char* kSettingsPlace =
    "  $XDG_CONFIG_HOME/Quorvane/Quorvane.conf (without XDG_CONFIG_HOME:\n"
    "  ~/.config/Quorvane/Quorvane.conf)\n";
#endif

} // namespace

#ifdef _WIN32
namespace {

std::string toUtf8(const wchar_t* wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
    text.pop_back();
    return text;
}

} // namespace

std::vector<std::string> programArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(toUtf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}
#else
std::vector<std::string> programArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(fromSystemCodePage(argv[i]));
    }
    return arguments;
}
#endif

std::string argumentText(const std::vector<std::string>& arguments) {
    std::string text;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += arguments[i];
    }
    return text;
}

CommandLineTargets commandLineTargets(std::string_view argumentText) {
    CommandLineTargets targets;
    if (argumentText.find('.') == std::string_view::npos) {
        return targets;
    }
    const std::size_t blank = argumentText.find(' ');
    if (blank == std::string_view::npos) {
        targets.ip = std::string(argumentText);
        return targets;
    }
    targets.ip = std::string(argumentText.substr(0, blank));
    targets.outFile = std::string(argumentText.substr(blank + 1));
    return targets;
}

std::string executableBaseName(std::string_view programPath) {
#ifdef _WIN32
    const std::size_t folderEnd = programPath.find_last_of("/\\");
#else
    const std::size_t folderEnd = programPath.find_last_of('/');
#endif
    std::string_view name =
        folderEnd == std::string_view::npos ? programPath : programPath.substr(folderEnd + 1);
    const std::size_t dot = name.find_last_of('.');
    // A leading dot starts a hidden name, not an extension.
    if (dot != std::string_view::npos && dot > 0) {
        name = name.substr(0, dot);
    }
    return std::string(name);
}

bool isConsumptionVariant(std::string_view programPath) {
    return executableBaseName(programPath) == "QuorvaneB";
}

ProgramOptions parseProgramOptions(const std::vector<std::string>& arguments) {
    ProgramOptions options;
    bool help = false;
    bool version = false;
    bool forget = false;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (optionsEnded || argument.rfind("--", 0) != 0) {
            options.arguments.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else if (argument == "--forget-certificates") {
            forget = true;
        } else if (options.unknownOption.empty()) {
            options.unknownOption = argument;
        }
    }
    if (!options.unknownOption.empty()) {
        options.action = ProgramAction::UnknownOption;
    } else if (help) {
        options.action = ProgramAction::Help;
    } else if (version) {
        options.action = ProgramAction::Version;
    } else if (forget) {
        options.action = ProgramAction::ForgetCertificates;
    }
    return options;
}

std::string usageText() {
    const std::string beforeSettings =
        "Usage: Quorvane [OPTION]... [ADDRESS [OUTPUT-FILE]]\n"
        "Shows the live meter readings of an Envoy solar gateway.\n"
        "\n"
        "Command line:\n"
        "  ADDRESS       the gateway's address (host or host:port); taken only when the\n"
        "                arguments contain a period, and it replaces the stored address\n"
        "  OUTPUT-FILE   everything after the first blank: the file that receives the\n"
        "                latest reading while writing is switched on\n"
        "  Started as QuorvaneB, the second meter is taken as consumption instead of grid.\n"
        "\n"
        "Options:\n"
        "  --help                  show this text and end\n"
        "  --version               show the version and end\n"
        "  --forget-certificates   drop the pinned gateway certificates and end\n"
        "  --                      end of options; later arguments are taken as they are\n"
        "\n"
        "Files:\n"
        "  mytoken.txt                the gateway's bearer token, in the current folder;\n"
        "                             asked for and saved there when it is missing\n"
        "  OUTPUT-FILE                four lines (time stamp, production, consumption,\n"
        "                             grid power, negative while exporting), CR LF line\n"
        "                             ends, rewritten after every reading while writing is\n"
        "                             on; a relative name is taken from the current folder\n"
        "  LarkspurstationError.log   the error log, in the current folder\n";
    return beforeSettings + kSettingsPlace +
           "                             the settings: window position and size, address,\n"
           "                             writing switch, stay on top (section Settings), and\n"
           "                             the pinned gateway certificates (section\n"
           "                             Certificates): the first certificate a gateway\n"
           "                             presents is trusted, and only that one afterwards\n"
           "                             unless the owner trusts a new one when asked\n";
}

std::string versionLine() {
    return std::string("Quorvane ") + kVersionText;
}

} // namespace quorvane::support
