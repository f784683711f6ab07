#include "support/commandline.h"

#include "quorvane/version.h"
#include "support/system.h"

namespace quorvane::support {

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
    const std::size_t folderEnd = programPath.find_last_of(system::folderSeparators());
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
    bool energy = false;
    bool optionsEnded = false;
    constexpr std::string_view kEnergyIs = "--energy=";
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
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
        } else if (argument == "--energy") {
            energy = true;
            if (i + 1 < arguments.size() && arguments[i + 1].rfind("--", 0) != 0) {
                options.energyArgument = arguments[++i];
            }
        } else if (argument.rfind(kEnergyIs, 0) == 0) {
            energy = true;
            options.energyArgument = argument.substr(kEnergyIs.size());
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
    } else if (energy) {
        options.action = ProgramAction::Energy;
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
        "  --energy [DAY|MONTH]    print the energy history of a day (YYYY-MM-DD) or a\n"
        "                          month (YYYY-MM), today's without one, as CSV in Wh\n"
        "                          and end; sends nothing to the gateway\n"
        "  --                      end of options; later arguments are taken as they are\n"
        "\n"
        "Files:\n"
        "  mytoken.txt                the gateway's bearer token, in the current folder;\n"
        "                             asked for and saved there when it is missing\n"
        "  OUTPUT-FILE                four lines (time stamp, production, consumption,\n"
        "                             grid power, negative while exporting), CR LF line\n"
        "                             ends, rewritten after every reading while writing is\n"
        "                             on; a relative name is taken from the current folder\n"
        "  LarkspurstationError.log   the error log, in the current folder\n"
        "  history/YYYY-MM-DD.csv     the energy history, a file per local day, in the\n"
        "                             program's local data folder (history-b for\n"
        "                             QuorvaneB)\n";
    return beforeSettings + std::string(system::settingsPlace()) +
           "                             the settings: window position and size, address,\n"
           "                             writing switch, stay on top (section Settings), and\n"
           "                             the pinned gateway certificates (section\n"
           "                             Certificates): the first certificate a gateway\n"
           "                             presents is trusted, and only that one afterwards\n"
           "                             unless the owner trusts a new one when asked\n"
           "\n"
           "Quorvane is free software under the MIT licence.\n";
}

std::string versionLine() {
    return std::string("Quorvane ") + kVersionText;
}

} // namespace quorvane::support
