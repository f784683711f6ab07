// Fuzz target: the numeric texts. The input is one text that every conversion reads; the values
// they accept go through the display pattern, the output file's number form and the rounding,
// and the rules that tie those together are checked.

#include "fuzzcheck.h"
#include "support/failure.h"
#include "support/numerictext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace quorvane::support;

std::string show(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

// A conversion's value, or the number of the run-time failure it raised.
template <class T> struct Outcome {
    std::optional<T> value;
    int failure = 0;
};

// Runs `convert`; a run-time failure other than those in `allowed` breaks the run.
template <class Convert>
auto attempt(const char* what, std::string_view input, std::initializer_list<int> allowed,
             Convert&& convert) {
    Outcome<decltype(convert())> outcome;
    try {
        outcome.value = convert();
    } catch (const RunTimeError& error) {
        outcome.failure = error.failure().number;
        const bool expected =
            std::find(allowed.begin(), allowed.end(), outcome.failure) != allowed.end();
        QUORVANE_FUZZ_CHECK(expected, std::string(what) + " of \"" + std::string(input) +
                                          "\" raised " + errorText(error.failure()));
    }
    return outcome;
}

// The largest doubles: their 15-digit forms lie beyond a double, so reading those back, or
// rounding such a value, may overflow.
bool nearLargestDouble(double value) {
    return std::fabs(value) >= 1.797693134862315e308;
}

// A finite double as the C library writes it to 15 significant digits: the digits without
// trailing zeros and how many of them stand before the decimal point.
struct LibraryDecimal {
    bool negative = false;
    std::string digits;
    int point = 0;
};

LibraryDecimal libraryDecimal(double value) {
    LibraryDecimal decimal;
    decimal.negative = std::signbit(value);
    if (value == 0.0) {
        return decimal;
    }
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
    const std::string text = buffer;
    const auto marker = text.find('e');
    decimal.digits = text.substr(0, 1) + text.substr(2, marker - 2);
    decimal.point = std::atoi(text.c_str() + marker + 1) + 1;
    decimal.digits.erase(decimal.digits.find_last_not_of('0') + 1);
    return decimal;
}

// The decimal's magnitude in units of 10^-decimals, rounded half to even or half away from
// zero; "" for zero.
std::string libraryUnits(const LibraryDecimal& decimal, int decimals, bool away) {
    const long keep = static_cast<long>(decimal.point) + decimals;
    const auto& digits = decimal.digits;
    if (keep < 0) {
        return "";
    }
    if (keep >= static_cast<long>(digits.size())) {
        return digits + std::string(static_cast<std::size_t>(keep) - digits.size(), '0');
    }
    std::string units = "0" + digits.substr(0, static_cast<std::size_t>(keep));
    const char next = digits[static_cast<std::size_t>(keep)];
    const bool exactHalf = next == '5' && keep + 1 == static_cast<long>(digits.size());
    const bool odd = (units.back() - '0') % 2 == 1;
    if (next > '5' || (next == '5' && (!exactHalf || away || odd))) {
        std::size_t at = units.size();
        while (units[--at] == '9') {
            units[at] = '0';
        }
        ++units[at];
    }
    units.erase(0, std::min(units.find_first_not_of('0'), units.size()));
    return units;
}

// The display pattern written from the C library's digits.
std::string libraryDisplay(double value) {
    const LibraryDecimal decimal = libraryDecimal(value);
    std::string units = libraryUnits(decimal, 1, true);
    if (units.empty()) {
        return "0.0";
    }
    units.insert(0, units.size() < 2 ? 2 - units.size() : 0, '0');
    std::string whole = units.substr(0, units.size() - 1);
    for (auto at = static_cast<long>(whole.size()) - 3; at > 0; at -= 3) {
        whole.insert(static_cast<std::size_t>(at), ",");
    }
    return (decimal.negative ? "-" : "") + whole + "." + units.back();
}

// roundHalfEven() worked out from the C library's digits and read back by strtod; infinity
// when the rounded value is beyond a double.
double libraryRounded(double value, int decimals) {
    const LibraryDecimal decimal = libraryDecimal(value);
    const std::string units = libraryUnits(decimal, decimals, false);
    const std::string text = (decimal.negative ? "-" : "") + (units.empty() ? "0" : units) + "e-" +
                             std::to_string(decimals);
    return std::strtod(text.c_str(), nullptr);
}

// generalNumber() written from the C library's digits.
std::string libraryGeneral(double value) {
    const LibraryDecimal decimal = libraryDecimal(value);
    if (decimal.digits.empty()) {
        return "0";
    }
    const std::string sign = decimal.negative ? "-" : "";
    const auto size = static_cast<int>(decimal.digits.size());
    if (decimal.point >= size) {
        return sign + decimal.digits +
               std::string(static_cast<std::size_t>(decimal.point - size), '0');
    }
    if (decimal.point <= 0) {
        return sign + "0." + std::string(static_cast<std::size_t>(-decimal.point), '0') +
               decimal.digits;
    }
    const auto point = static_cast<std::size_t>(decimal.point);
    return sign + decimal.digits.substr(0, point) + "." + decimal.digits.substr(point);
}

// The formats of `value` agree with the same rules worked out from the C library's digits, and
// read back as what they show.
void checkFormats(double value) {
    const std::string shown = formatDisplay(value);
    QUORVANE_FUZZ_CHECK(shown == libraryDisplay(value) && quorvane::fuzz::isDisplayPattern(shown),
                        show(value) + " shows as \"" + shown + "\", expected \"" +
                            libraryDisplay(value) + "\"");
    const auto read = attempt("valueOfDisplayText", shown, {errors::kOverflow},
                              [&] { return valueOfDisplayText(shown); });
    QUORVANE_FUZZ_CHECK(read.value || nearLargestDouble(value), "\"" + shown + "\" overflows");
    if (read.value) {
        QUORVANE_FUZZ_CHECK(formatDisplay(*read.value) == shown,
                            "\"" + shown + "\" reads back as " + show(*read.value));
    }

    const std::string general = generalNumber(value, ".");
    QUORVANE_FUZZ_CHECK(general == libraryGeneral(value), show(value) + " is \"" + general +
                                                              "\", expected \"" +
                                                              libraryGeneral(value) + "\"");
    std::string withComma = general;
    std::replace(withComma.begin(), withComma.end(), '.', ',');
    QUORVANE_FUZZ_CHECK(generalNumber(value, ",") == withComma,
                        show(value) + " with a comma separator: " + generalNumber(value, ","));
    const std::string exported = exportNumber(value, ".");
    const std::string expected = (value < 0 ? "-" : " ") + libraryGeneral(std::fabs(value)) + " ";
    QUORVANE_FUZZ_CHECK(exported == expected, show(value) + " exports as \"" + exported + "\"");
    const auto reread = attempt("valueTextToNumber", exported, {errors::kOverflow},
                                [&] { return valueTextToNumber(exported); });
    QUORVANE_FUZZ_CHECK(reread.value || nearLargestDouble(value), "\"" + exported + "\" overflows");
    if (reread.value) {
        QUORVANE_FUZZ_CHECK(exportNumber(*reread.value, ".") == exported,
                            "\"" + exported + "\" reads back as " + show(*reread.value));
    }

    for (int decimals = 0; decimals <= 15; ++decimals) {
        const auto once = attempt("roundHalfEven", show(value), {errors::kOverflow},
                                  [&] { return roundHalfEven(value, decimals); });
        const double expectedRounding = libraryRounded(value, decimals);
        const std::string detail = show(value) + " to " + std::to_string(decimals) +
                                   " decimals, expected " + show(expectedRounding);
        if (!once.value) {
            QUORVANE_FUZZ_CHECK(std::isinf(expectedRounding), detail + ", overflowed");
            continue;
        }
        QUORVANE_FUZZ_CHECK(*once.value == expectedRounding, detail + ", got " + show(*once.value));
        QUORVANE_FUZZ_CHECK(roundHalfEven(*once.value, decimals) == *once.value,
                            detail + ", rounds again to " +
                                show(roundHalfEven(*once.value, decimals)));
    }
}

// A text that valueTextToNumber() accepted, read by the C library.
double libraryValue(std::string_view text) {
    std::string trimmed(text);
    trimmed.erase(0, trimmed.find_first_not_of(" \t"));
    trimmed.erase(trimmed.find_last_not_of(" \t") + 1);
    return std::strtod(trimmed.c_str(), nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = quorvane::fuzz::inputText(data, size);
    const std::string input(text);
    const std::initializer_list<int> notANumber = {errors::kTypeMismatch, errors::kOverflow};

    const auto number =
        attempt("valueTextToNumber", text, notANumber, [&] { return valueTextToNumber(text); });
    const auto fixed = attempt("valueTextToFixedPoint", text, notANumber,
                               [&] { return valueTextToFixedPoint(text); });
    const auto display =
        attempt("valueOfDisplayText", text, notANumber, [&] { return valueOfDisplayText(text); });
    const auto leading =
        attempt("leadingNumber", text, {errors::kOverflow}, [&] { return leadingNumber(text); });
    const auto plain =
        attempt("plainValue", text, {errors::kOverflow}, [&] { return plainValue(text); });

    // One grammar for a reply's value text, whichever form the number is taken in.
    QUORVANE_FUZZ_CHECK(
        (number.failure == errors::kTypeMismatch) == (fixed.failure == errors::kTypeMismatch),
        "\"" + input + "\": valueTextToNumber raised " + std::to_string(number.failure) +
            ", valueTextToFixedPoint " + std::to_string(fixed.failure));
    if (number.value && fixed.value) {
        const double difference =
            std::fabs(static_cast<double>(*fixed.value) / 1e4 - *number.value);
        QUORVANE_FUZZ_CHECK(difference <= 0.0000501 + 1e-15 * std::fabs(*number.value),
                            "\"" + input + "\": " + show(*number.value) + " against " +
                                std::to_string(*fixed.value) + " ten-thousandths");
    }
    if (fixed.value && input.find('.') != std::string::npos &&
        input.find_first_of("eE") == std::string::npos) {
        // A zero after the last decimal changes no value, ties at the fifth decimal included.
        std::string longer = input;
        longer.insert(longer.find_last_not_of(" \t") + 1, "0");
        const auto again = attempt("valueTextToFixedPoint", longer, notANumber,
                                   [&] { return valueTextToFixedPoint(longer); });
        QUORVANE_FUZZ_CHECK(again.value == fixed.value,
                            "\"" + input + "\": " + std::to_string(*fixed.value) +
                                " ten-thousandths, with a zero more " +
                                (again.value ? std::to_string(*again.value) : "failed"));
    }
    if (number.value && std::fabs(*number.value) < 9e14) {
        QUORVANE_FUZZ_CHECK(fixed.value.has_value(), "\"" + input + "\" has no fixed-point form");
    }
    if (number.value || number.failure == errors::kOverflow) {
        // The nearest double, as the C library reads it; beyond a double an overflow.
        const double expected = libraryValue(text);
        QUORVANE_FUZZ_CHECK(number.value ? *number.value == expected : std::isinf(expected),
                            "\"" + input + "\" reads as " +
                                (number.value ? show(*number.value) : "an overflow") +
                                ", the C library reads " + show(expected));
    }
    if (number.value) {
        QUORVANE_FUZZ_CHECK(leading.value == number.value,
                            "\"" + input + "\": leading number " +
                                (leading.value ? show(*leading.value) : "failed"));
    }
    if (text.find(',') == std::string_view::npos) {
        QUORVANE_FUZZ_CHECK(display.value == number.value && display.failure == number.failure,
                            "\"" + input + "\" read as a display text differs");
    }
    if (display.value) {
        QUORVANE_FUZZ_CHECK(plain.value == display.value,
                            "\"" + input + "\": plain value " +
                                (plain.value ? show(*plain.value) : "failed") + ", display value " +
                                show(*display.value));
    }

    for (const auto& outcome : {number, display, leading}) {
        if (outcome.value) {
            QUORVANE_FUZZ_CHECK(std::isfinite(*outcome.value), "\"" + input + "\"");
            checkFormats(*outcome.value);
        }
    }
    return 0;
}
