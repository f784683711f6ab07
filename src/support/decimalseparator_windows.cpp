#include "support/decimalseparator.h"

#include <windows.h>

namespace quorvane::support {

std::string systemDecimalSeparator() {
    // The user's own choice in the regional settings, where one was made, else the user
    // locale's; at most three characters.
    wchar_t separator[8] = {};
    const int size = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    std::string narrow;
    for (int i = 0; i + 1 < size; ++i) {
        // Anything beyond ASCII is no usable separator; 0x7F stands for it.
        narrow.push_back(separator[i] < 0x80 ? static_cast<char>(separator[i]) : '\x7F');
    }
    return usableDecimalSeparator(narrow);
}

} // namespace quorvane::support
