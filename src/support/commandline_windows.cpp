// The program's arguments from the wide command line.
#include "support/commandline.h"
#include "support/system.h"
#include "support/systemtext_windows.h"

#include <algorithm>
#include <windows.h>

// After windows.h, which it needs.
#include <shellapi.h>

namespace quorvane::support {

std::vector<std::string> programArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(utf8FromWide(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

std::string_view system::settingsPlace() {
    return "  HKEY_CURRENT_USER\\Software\\Quorvane\\Quorvane (the registry)\n";
}

std::string_view system::folderSeparators() {
    return "/\\";
}

} // namespace quorvane::support
