#include "support/numerictext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <system_error>

#include "support/asciichars.h"
#include "support/failure.h"

namespace quorvane::support {

namespace {

// A decimal number: sign, significant digits and the power of ten of the last digit, so the
// magnitude is digits x 10^exponent. No leading zeros; empty digits mean zero.
struct Decimal {
    bool negative = false;
    std::string digits;
    long long exponent = 0;
};

enum class Ties { ToEven, AwayFromZero };

// Far beyond any double, small enough that sums of exponents stay exact.
constexpr long long kExponentLimit = 1000000;

void stripLeadingZeros(std::string& digits) {
    const auto first = digits.find_first_not_of('0');
    digits.erase(0, first == std::string::npos ? digits.size() : first);
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMostExactPower = 22;

// The most significant digits a value keeps; whole numbers of that many digits are exact doubles.
constexpr int kMostDigits = 15;
constexpr std::uint64_t kPowersOfTen[] = {1,
                                          10,
                                          100,
                                          1000,
                                          10000,
                                          100000,
                                          1000000,
                                          10000000,
                                          100000000,
                                          1000000000,
                                          10000000000,
                                          100000000000,
                                          1000000000000,
                                          10000000000000,
                                          100000000000000,
                                          1000000000000000};

// A magnitude written as a whole number of units of 10^-decimals, the units below 10^15.
struct ShortForm {
    std::uint64_t units = 0;
    int decimals = 0;
};

// The short form of a finite magnitude when one exists.
//
// Any decimal of at most 15 significant digits that reads back as a normal double is that
// double rounded to 15 digits, its shortest decimal form: half a step of the double is less
// than a ninth of a step in the 15th digit. So the first whole count of 10^-d that reads back as
// the value is the form the general rounding would find, in a few multiplications.
std::optional<ShortForm> shortFormOf(double magnitude) {
    if (!(magnitude >= std::numeric_limits<double>::min())) {
        return std::nullopt;
    }
    for (int decimals = 0; decimals <= kMostExactPower; ++decimals) {
        const double scaled = magnitude * kExactPowers[decimals];
        if (scaled >= kExactPowers[kMostDigits]) {
            break;
        }
        const double units = std::nearbyint(scaled);
        // Both operands are exact, so the division gives the double nearest to the decimal.
        if (units != 0.0 && units / kExactPowers[decimals] == magnitude) {
            return ShortForm{static_cast<std::uint64_t>(units), decimals};
        }
    }
    return std::nullopt;
}

// The form's units rounded to `decimals` decimals (0 to 15).
std::uint64_t roundedUnits(const ShortForm& form, int decimals, Ties ties) {
    if (form.decimals <= decimals) {
        return form.units * kPowersOfTen[decimals - form.decimals];
    }
    const int dropped = form.decimals - decimals;
    if (dropped > kMostDigits) {
        // The units are below 10^15, less than half of one kept unit.
        return 0;
    }
    const std::uint64_t step = kPowersOfTen[dropped];
    const std::uint64_t kept = form.units / step;
    const std::uint64_t rest = form.units % step;
    const std::uint64_t half = step / 2;
    const bool up = rest > half ||
                    (rest == half && (ties == Ties::AwayFromZero || kept % 2 == 1));
    return up ? kept + 1 : kept;
}

// The shortest decimal form of a finite double, at most 15 significant digits.
Decimal decimalOf(double value) {
    Decimal result;
    result.negative = std::signbit(value);
    if (value == 0.0) {
        return result;
    }
    const double magnitude = std::fabs(value);
    if (const auto form = shortFormOf(magnitude)) {
        std::uint64_t units = form->units;
        long long exponent = -form->decimals;
        while (units % 10 == 0) {
            units /= 10;
            ++exponent;
        }
        char buffer[24];
        const auto written = std::to_chars(buffer, buffer + sizeof buffer, units);
        result.digits.assign(buffer, written.ptr);
        result.exponent = exponent;
        return result;
    }
    char buffer[40];
    const auto converted = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                         std::chars_format::scientific, 14);
    const std::string_view text(buffer, static_cast<std::size_t>(converted.ptr - buffer));
    // The form is "d.dddddddddddddde+XX".
    const auto marker = text.find('e');
    result.digits.push_back(text[0]);
    result.digits.append(text.substr(2, marker - 2));
    int power = 0;
    const auto exponentText = text.substr(marker + 1);
    const char* exponentStart = exponentText.data() + (exponentText.front() == '+' ? 1 : 0);
    std::from_chars(exponentStart, exponentText.data() + exponentText.size(), power);
    const auto last = result.digits.find_last_not_of('0');
    result.digits.erase(last + 1);
    result.exponent = power - static_cast<long long>(result.digits.size()) + 1;
    return result;
}

// The text of a plain reply value ("488.925", " -0.5") with at most 15 significant digits and
// 22 decimals, read without building its digits; nothing for any other text.
std::optional<double> shortTextValue(std::string_view text) {
    std::size_t at = 0;
    std::size_t end = text.size();
    while (at < end && isBlank(text[at])) {
        ++at;
    }
    while (end > at && isBlank(text[end - 1])) {
        --end;
    }
    bool negative = false;
    if (at < end && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    std::uint64_t units = 0;
    int significant = 0;
    int decimals = 0;
    bool anyDigit = false;
    bool point = false;
    for (; at < end; ++at) {
        const char c = text[at];
        if (isDigit(c)) {
            anyDigit = true;
            if (significant > 0 || c != '0') {
                if (++significant > kMostDigits) {
                    return std::nullopt;
                }
                units = units * 10 + static_cast<std::uint64_t>(c - '0');
            }
            decimals += point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!anyDigit || decimals > kMostExactPower) {
        return std::nullopt;
    }
    if (units == 0) {
        // A zero is read without its sign, as the general reading does.
        return 0.0;
    }
    const double value = static_cast<double>(units) / kExactPowers[decimals];
    return negative ? -value : value;
}

// The magnitude of `number` rounded to `decimals` decimals, as digits counting units of
// 10^-decimals without leading zeros (empty for zero).
std::string roundedDigits(const Decimal& number, long long decimals, Ties ties) {
    const auto& digits = number.digits;
    const long long size = static_cast<long long>(digits.size());
    const long long keep = size + number.exponent + decimals;
    if (digits.empty() || keep < 0) {
        return {};
    }
    if (keep >= size) {
        return digits + std::string(static_cast<std::size_t>(keep - size), '0');
    }
    std::string kept = digits.substr(0, static_cast<std::size_t>(keep));
    const char next = digits[static_cast<std::size_t>(keep)];
    // Zeros after the first dropped digit leave a tie a tie ("1.000050" is 1.00005).
    const bool moreFollow =
        digits.find_first_not_of('0', static_cast<std::size_t>(keep + 1)) != std::string::npos;
    const bool lastOdd = !kept.empty() && (kept.back() - '0') % 2 == 1;
    const bool up = next > '5' ||
                    (next == '5' && (moreFollow || ties == Ties::AwayFromZero || lastOdd));
    if (up) {
        auto position = kept.size();
        while (position > 0 && kept[position - 1] == '9') {
            kept[--position] = '0';
        }
        if (position == 0) {
            kept.insert(kept.begin(), '1');
        } else {
            ++kept[position - 1];
        }
    }
    stripLeadingZeros(kept);
    return kept;
}

// Digits with a separator before the last `decimals` of them, at least one digit in front.
std::string withDecimals(std::string units, std::size_t decimals, std::string_view separator) {
    if (units.size() < decimals + 1) {
        units.insert(0, decimals + 1 - units.size(), '0');
    }
    if (decimals == 0) {
        return units;
    }
    const auto point = units.size() - decimals;
    return units.substr(0, point) + std::string(separator) + units.substr(point);
}

// The double nearest to a decimal number. Raises kOverflow beyond a double's range.
double toDouble(Decimal number) {
    stripLeadingZeros(number.digits);
    if (number.digits.empty()) {
        return 0.0;
    }
    const long long order = static_cast<long long>(number.digits.size()) + number.exponent;
    if (order > 310) {
        raise(errors::kOverflow);
    }
    if (order < -330) {
        return 0.0;
    }
    if (number.digits.size() <= kMostDigits && number.exponent >= -kMostExactPower &&
        number.exponent <= kMostExactPower) {
        // Digits and power are both exact doubles here, so one multiplication or division
        // rounds the same way as reading the whole text.
        std::uint64_t units = 0;
        for (const char digit : number.digits) {
            units = units * 10 + static_cast<std::uint64_t>(digit - '0');
        }
        const double whole = static_cast<double>(units);
        const double value = number.exponent < 0 ? whole / kExactPowers[-number.exponent]
                                                  : whole * kExactPowers[number.exponent];
        return number.negative ? -value : value;
    }
    const std::string text = number.digits + "e" + std::to_string(number.exponent);
    double value = 0.0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    if (parsed.ec == std::errc::result_out_of_range) {
        if (order > 0) {
            raise(errors::kOverflow);
        }
        return 0.0;
    }
    if (std::isinf(value)) {
        raise(errors::kOverflow);
    }
    return number.negative ? -value : value;
}

// Reads "e", an optional sign and digits at `position`; false (position unchanged) when they
// are not all there.
bool scanExponent(std::string_view text, std::size_t& position, long long& exponent) {
    std::size_t at = position;
    if (at >= text.size() || (text[at] != 'e' && text[at] != 'E')) {
        return false;
    }
    ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    if (at >= text.size() || !isDigit(text[at])) {
        return false;
    }
    long long value = 0;
    while (at < text.size() && isDigit(text[at])) {
        // Saturates: such exponents are out of range whatever the digits.
        value = std::min(value * 10 + (text[at] - '0'), kExponentLimit);
        ++at;
    }
    exponent = negative ? -value : value;
    position = at;
    return true;
}

// A whole text as a number: blanks, a sign, digits (with comma groups of three when `groups`),
// a point and digits, an exponent, blanks. Nothing when anything else is in the text.
std::optional<Decimal> scanWholeNumber(std::string_view text, bool groups) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    text = text.substr(begin, end - begin);

    Decimal number;
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        number.negative = text[at] == '-';
        ++at;
    }
    std::size_t groupDigits = 0;
    bool grouped = false;
    while (at < text.size()) {
        if (isDigit(text[at])) {
            number.digits.push_back(text[at]);
            ++groupDigits;
        } else if (groups && text[at] == ',') {
            const bool firstGroupFits = grouped || (groupDigits >= 1 && groupDigits <= 3);
            if (!firstGroupFits || (grouped && groupDigits != 3)) {
                return std::nullopt;
            }
            grouped = true;
            groupDigits = 0;
        } else {
            break;
        }
        ++at;
    }
    if (grouped && groupDigits != 3) {
        return std::nullopt;
    }
    long long fractionDigits = 0;
    if (at < text.size() && text[at] == '.') {
        ++at;
        while (at < text.size() && isDigit(text[at])) {
            number.digits.push_back(text[at]);
            ++fractionDigits;
            ++at;
        }
    }
    if (number.digits.empty()) {
        return std::nullopt;
    }
    long long exponent = 0;
    scanExponent(text, at, exponent);
    if (at != text.size()) {
        return std::nullopt;
    }
    number.exponent = exponent - fractionDigits;
    return number;
}

Decimal scanOrMismatch(std::string_view text, bool groups) {
    auto number = scanWholeNumber(text, groups);
    if (!number) {
        raise(errors::kTypeMismatch);
    }
    return *number;
}

} // namespace

std::string formatDisplay(double value) {
    if (!std::isfinite(value)) {
        raise(errors::kOverflow);
    }
    if (value == 0.0) {
        return "0.0";
    }
    if (const auto form = shortFormOf(std::fabs(value))) {
        const std::uint64_t tenths = roundedUnits(*form, 1, Ties::AwayFromZero);
        if (tenths == 0) {
            return "0.0";
        }
        // Written from the end: the tenth, the point, then the whole digits in groups.
        char buffer[32];
        char* at = buffer + sizeof buffer;
        *--at = static_cast<char>('0' + tenths % 10);
        *--at = '.';
        std::uint64_t whole = tenths / 10;
        int written = 0;
        do {
            if (written > 0 && written % 3 == 0) {
                *--at = ',';
            }
            *--at = static_cast<char>('0' + whole % 10);
            whole /= 10;
            ++written;
        } while (whole > 0);
        if (std::signbit(value)) {
            *--at = '-';
        }
        return std::string(at, buffer + sizeof buffer);
    }
    const Decimal number = decimalOf(value);
    const std::string units = roundedDigits(number, 1, Ties::AwayFromZero);
    if (units.empty()) {
        return "0.0";
    }
    const std::string fixed = withDecimals(units, 1, ".");
    const auto wholeDigits = fixed.size() - 2;
    std::string result = number.negative ? "-" : "";
    for (std::size_t i = 0; i < wholeDigits; ++i) {
        if (i > 0 && (wholeDigits - i) % 3 == 0) {
            result.push_back(',');
        }
        result.push_back(fixed[i]);
    }
    result.append(fixed.substr(wholeDigits));
    return result;
}

double roundHalfEven(double value, int decimals) {
    if (!std::isfinite(value)) {
        return value;
    }
    if (value == 0.0) {
        return 0.0;
    }
    const bool shortRounding = decimals >= 0 && decimals <= kMostDigits;
    if (const auto form = shortRounding ? shortFormOf(std::fabs(value)) : std::nullopt) {
        if (form->decimals <= decimals) {
            // Nothing to round: the value is already the double nearest to its decimal form.
            return value;
        }
        const std::uint64_t units = roundedUnits(*form, decimals, Ties::ToEven);
        if (units == 0) {
            return 0.0;
        }
        const double rounded = static_cast<double>(units) / kExactPowers[decimals];
        return std::signbit(value) ? -rounded : rounded;
    }
    Decimal number = decimalOf(value);
    Decimal rounded;
    rounded.negative = number.negative;
    rounded.digits = roundedDigits(number, decimals, Ties::ToEven);
    rounded.exponent = -decimals;
    return toDouble(rounded);
}

double leadingNumber(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') {
            compact.push_back(c);
        }
    }
    Decimal number;
    std::size_t at = 0;
    if (at < compact.size() && (compact[at] == '+' || compact[at] == '-')) {
        number.negative = compact[at] == '-';
        ++at;
    }
    while (at < compact.size() && isDigit(compact[at])) {
        number.digits.push_back(compact[at++]);
    }
    long long fractionDigits = 0;
    if (at < compact.size() && compact[at] == '.') {
        ++at;
        while (at < compact.size() && isDigit(compact[at])) {
            number.digits.push_back(compact[at++]);
            ++fractionDigits;
        }
    }
    if (number.digits.empty()) {
        return 0.0;
    }
    long long exponent = 0;
    scanExponent(compact, at, exponent);
    number.exponent = exponent - fractionDigits;
    return toDouble(number);
}

double plainValue(std::string_view text) {
    std::string withoutCommas;
    withoutCommas.reserve(text.size());
    for (char c : text) {
        if (c != ',') {
            withoutCommas.push_back(c);
        }
    }
    return leadingNumber(withoutCommas);
}

double valueOfDisplayText(std::string_view text) { return toDouble(scanOrMismatch(text, true)); }

double valueTextToNumber(std::string_view text) {
    if (const auto value = shortTextValue(text)) {
        return *value;
    }
    return toDouble(scanOrMismatch(text, false));
}

std::int64_t valueTextToFixedPoint(std::string_view text) {
    Decimal number = scanOrMismatch(text, false);
    stripLeadingZeros(number.digits);
    if (number.digits.empty()) {
        return 0;
    }
    if (static_cast<long long>(number.digits.size()) + number.exponent > 30) {
        raise(errors::kOverflow);
    }
    const std::string units = roundedDigits(number, 4, Ties::ToEven);
    if (units.empty()) {
        return 0;
    }
    const std::string_view limit =
        number.negative ? "9223372036854775808" : "9223372036854775807";
    if (units.size() > limit.size() || (units.size() == limit.size() && units > limit)) {
        raise(errors::kOverflow);
    }
    std::uint64_t magnitude = 0;
    std::from_chars(units.data(), units.data() + units.size(), magnitude);
    if (!number.negative) {
        return static_cast<std::int64_t>(magnitude);
    }
    // -2^63 has no positive counterpart, so negate in unsigned arithmetic.
    return static_cast<std::int64_t>(0 - magnitude);
}

std::string generalNumber(double value, std::string_view decimalSeparator) {
    if (!std::isfinite(value)) {
        raise(errors::kOverflow);
    }
    const Decimal number = decimalOf(value);
    if (number.digits.empty()) {
        return "0";
    }
    std::string result = number.negative ? "-" : "";
    if (number.exponent >= 0) {
        result += number.digits + std::string(static_cast<std::size_t>(number.exponent), '0');
    } else {
        result += withDecimals(number.digits, static_cast<std::size_t>(-number.exponent),
                               decimalSeparator);
    }
    return result;
}

std::string exportNumber(double value, std::string_view decimalSeparator) {
    const std::string magnitude = generalNumber(std::fabs(value), decimalSeparator);
    return (value < 0 ? "-" : " ") + magnitude + " ";
}

} // namespace quorvane::support
