#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Texts as the operating system keeps them. The program works in UTF-8; the system's side is,
// on Windows, the wide API and the ANSI code page, and elsewhere the encoding of the locale the
// environment names (LC_ALL, LC_CTYPE, LANG), such as ISO-8859-1 for de_DE.ISO-8859-1. A UTF-8
// locale, and the plain-ASCII C and POSIX locales, keep UTF-8 as it is.
// systemtext_windows.cpp or systemtext_posix.cpp gives them; the build picks one of the two.
namespace quorvane::support {

// A UTF-8 text in the system's 8-bit encoding; a character it cannot hold becomes "?".
std::string toSystemCodePage(std::string_view utf8);

// A text in the system's 8-bit encoding as UTF-8; bytes that are no character of it become
// U+FFFD.
std::string fromSystemCodePage(std::string_view bytes);

// The path of a UTF-8 file name as typed (relative names resolve against the current folder),
// in the system's encoding. Raises kBadFileName for a text that cannot be a path: a NUL in it,
// not UTF-8 on Windows, or a character the locale's encoding cannot hold (a name that no file
// can have there).
std::filesystem::path pathFromText(std::string_view utf8);

// The UTF-8 text of a path, for what the user is told.
std::string textOfPath(const std::filesystem::path& path);

} // namespace quorvane::support
