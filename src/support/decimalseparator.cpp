#include "support/decimalseparator.h"

namespace quorvane::support {

std::string usableDecimalSeparator(std::string_view separator) {
    if (separator.size() == 1) {
        const char c = separator.front();
        // Printable ASCII that is neither a letter, a digit nor a blank, and no sign.
        const bool punctuation = c > ' ' && c < 0x7F && !(c >= '0' && c <= '9') &&
                                 !(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z');
        if (punctuation && c != '+' && c != '-') {
            return std::string(separator);
        }
    }
    return ".";
}

} // namespace quorvane::support
