#include "support/decimalseparator.h"

#include <langinfo.h>
#include <locale.h>

namespace quorvane::support {

std::string systemDecimalSeparator() {
    // A locale of its own, so the program's global locale is neither read nor changed. A locale
    // the environment names but the system lacks leaves the C library at "C", which has ".".
    const locale_t numeric = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (numeric == static_cast<locale_t>(nullptr)) {
        return ".";
    }
    const std::string separator = nl_langinfo_l(RADIXCHAR, numeric);
    freelocale(numeric);
    return usableDecimalSeparator(separator);
}

} // namespace quorvane::support
