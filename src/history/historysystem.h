#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>

// What the history takes from the operating system, given by historysystem_posix.cpp or
// historysystem_windows.cpp.
namespace quorvane::history::system {

// A local calendar time.
struct LocalTime {
    int year = 0;
    int month = 0; // 1 to 12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// `when` (seconds since 1970 UTC) in the system's time zone; false when the system cannot tell.
bool localTime(std::int64_t when, LocalTime& result);

// Appends `line` (ending in a line end) to `file` with one write, creating the file with
// `header` first when it is new or empty, and syncs it to the disk before returning. A file
// whose last line was cut off (no line end) gets "!\n" before the line, which keeps the cut
// line unreadable and starts the new one on a line of its own. Other writers appending at the
// same time never tear the line. The system's error, or none.
std::error_code appendLine(const std::filesystem::path& file, std::string_view header,
                           std::string_view line);

} // namespace quorvane::history::system
