// The program's arguments from argv, in the locale's encoding.
#include "support/commandline.h"
#include "support/system.h"
#include "support/systemtext.h"

namespace quorvane::support {

std::vector<std::string> programArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(fromSystemCodePage(argv[i]));
    }
    return arguments;
}

std::string_view system::settingsPlace() {
    return "  $XDG_CONFIG_HOME/Quorvane/Quorvane.conf (without XDG_CONFIG_HOME:\n"
           "  ~/.config/Quorvane/Quorvane.conf)\n";
}

std::string_view system::folderSeparators() {
    return "/";
}

} // namespace quorvane::support
