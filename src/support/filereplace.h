#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quorvane::support {

// Who may read a replaced file (POSIX only; Windows keeps its default).
enum class FileAccess { Default, OwnerOnly };

// Replaces the file at `path` with exactly `bytes` by writing a temporary file in the same
// folder, flushing it and renaming it over the target, so a reader sees either the old or the
// new content, never a part. Raises a file failure (kPathNotFound, kPermissionDenied, ...) and
// leaves the old file as it was when anything goes wrong.
void replaceFile(const std::filesystem::path& path, std::string_view bytes,
                 FileAccess access = FileAccess::Default);

// A UTF-8 text in the system's 8-bit code page (Windows: the ANSI code page; elsewhere as is).
std::string toSystemCodePage(std::string_view utf8);

// A text in the system's 8-bit code page as UTF-8.
std::string fromSystemCodePage(std::string_view bytes);

// The path of a UTF-8 file name as typed (relative names resolve against the current folder).
std::filesystem::path pathFromText(std::string_view utf8);

} // namespace quorvane::support
