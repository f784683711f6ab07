#pragma once

#include <string>
#include <string_view>

// Texts of the Windows API's wide functions (UTF-16) in the program's and the system's
// encodings; systemtext_windows.cpp is the one place that converts between code pages.
namespace quorvane::support {

// A wide text as UTF-8.
std::string utf8FromWide(std::wstring_view wide);

// A wide text in the system's ANSI code page, as the API's "A" functions take it; a character
// the code page cannot hold becomes "?".
std::string ansiFromWide(std::wstring_view wide);

} // namespace quorvane::support
