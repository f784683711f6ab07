#pragma once

#include <string>
#include <string_view>

namespace quorvane::support {

// The decimal separator of the user's regional settings as the system keeps them: on Windows the
// user's locale setting (LOCALE_SDECIMAL), elsewhere LC_NUMERIC of the environment through the C
// library. Always one character that every number reader takes: usableDecimalSeparator().
std::string systemDecimalSeparator();

// `separator` when it is one ASCII punctuation character other than a sign ("," or "."), else
// "." (so for "٫", the Arabic decimal separator, for a blank, a letter or several characters).
std::string usableDecimalSeparator(std::string_view separator);

} // namespace quorvane::support
