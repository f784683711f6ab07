#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The program's numeric texts. A value is always taken as its shortest decimal form (at most
// 15 significant digits) before it is rounded, so rounding follows the number as written in
// decimal and not the binary tail of the double: 2.25 rounds to 2.2 (half to even) and shows as
// "2.3" in the display pattern (half away from zero).
namespace quorvane::support {

// The display pattern "#,##0.0": minus sign for negatives, a comma between groups of three
// digits, exactly one decimal after a point, halves away from zero. A value that shows as zero
// carries no sign ("0.0" for -0.04 and -0.0). Raises kOverflow for NaN and infinities.
std::string formatDisplay(double value);

// `value` rounded to `decimals` decimals (0 to 15), halves to the even digit. Raises kOverflow
// for the largest doubles (from 1.797693134862315e308 on), whose 15-digit form is beyond a
// double.
double roundHalfEven(double value, int decimals);

// The number a text begins with, read up to the first character that cannot continue a plain
// number; blanks, tabs and line feeds are skipped wherever they stand and a comma ends the
// number ("-1,234.5" gives -1, "" gives 0). Fails only beyond a double's range (kOverflow).
double leadingNumber(std::string_view text);

// The leading number of the text after every comma has been removed ("-1,234.5" gives -1234.5).
double plainValue(std::string_view text);

// The whole text read as a number, thousands commas accepted ("1,234.6" gives 1234.6); blanks
// around it allowed; comma groups must be those of the display pattern (1 to 3 digits, then
// groups of 3). Raises kTypeMismatch for anything else, kOverflow beyond a double.
double valueOfDisplayText(std::string_view text);

// A reply's value text: optional blanks or tabs, an optional sign, digits with "." as decimal
// point, an optional exponent, optional blanks or tabs. Raises kTypeMismatch for anything else
// (an empty text included), kOverflow beyond a double.
double valueTextToNumber(std::string_view text);

// The same text as a fixed-point count of ten-thousandths (the epoch form), further decimals
// rounded half to even. Raises kTypeMismatch for a text that is not a number, kOverflow beyond
// the 64-bit range.
std::int64_t valueTextToFixedPoint(std::string_view text);

// Up to 15 significant digits with `decimalSeparator`, a leading minus for negatives, no group
// separators, no exponent and no blanks: "5.5", "-4", "1234.5". Raises kOverflow for NaN and
// infinities.
std::string generalNumber(double value, std::string_view decimalSeparator);

// The output file's signed number form: a minus, or one blank when not negative, then
// generalNumber() of the magnitude, then one blank: "-1234.5 ", " 36 ".
std::string exportNumber(double value, std::string_view decimalSeparator);

} // namespace quorvane::support
