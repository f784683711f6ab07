#pragma once

#include "support/filereplace.h"

#include <ctime>
#include <filesystem>
#include <string_view>

// What the shared files of this folder take from the operating system. Each file that needs it
// has a part for Windows and one for the other systems (clock_windows.cpp and clock_posix.cpp,
// and so on); the build picks one of each pair. Those files also give the functions of the
// public headers that are the system's own (SystemZoneSource, programArguments).
namespace quorvane::support::system {

// clock_*.cpp: `when` as local time; false when the C library cannot tell it.
bool localTime(std::time_t when, std::tm& result);

// commandline_*.cpp: where the settings store keeps its data, as the --help text shows it
// (indented, ending in a line end).
std::string_view settingsPlace();

// commandline_*.cpp: the characters that end a folder in a program's path.
std::string_view folderSeparators();

// filereplace_*.cpp: replaceFile() and appendFile() for a name already checked; replaceFile()
// is given the file a symbolic link names.
void replaceFile(const std::filesystem::path& target, std::string_view bytes, FileAccess access);
void appendFile(const std::filesystem::path& path, std::string_view bytes);

// filereplace_*.cpp: the id of this process.
unsigned long processId();

// filereplace.cpp, for the files above: how many names replaceFile() tries for its temporary
// file, and the name of the temporary file next to `target` for an attempt, which no other call
// uses at the same time.
constexpr unsigned kTemporaryAttempts = 100;
std::filesystem::path temporaryNameFor(const std::filesystem::path& target, unsigned attempt);

} // namespace quorvane::support::system
