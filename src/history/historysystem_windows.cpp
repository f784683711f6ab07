// The local time and appending lines through the Windows API.
#include "history/historysystem.h"

#include <string>
#include <windows.h>

namespace quorvane::history::system {

namespace {

std::error_code lastError() {
    return {static_cast<int>(GetLastError()), std::system_category()};
}

// Whether the file's last byte is a line end; an empty file counts as one.
bool endsWithLineEnd(HANDLE file, LONGLONG size) {
    if (size == 0) {
        return true;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>((size - 1) & 0xffffffff);
    at.OffsetHigh = static_cast<DWORD>((size - 1) >> 32);
    char last = '\n';
    DWORD read = 0;
    return !ReadFile(file, &last, 1, &read, &at) || read != 1 || last == '\n';
}

} // namespace

bool localTime(std::int64_t when, LocalTime& result) {
    // The Windows time zone, not the C library's: the C runtime reads a TZ variable in a form of
    // its own and gets zone names such as Europe/Berlin wrong.
    constexpr std::int64_t kUnixEpochIn100ns = 116444736000000000LL;
    constexpr std::int64_t kMaxSeconds = (0x7fffffffffffffffLL - kUnixEpochIn100ns) / 10000000;
    if (when < -11644473600LL || when > kMaxSeconds) {
        return false;
    }
    const auto ticks = static_cast<ULONGLONG>(when * 10000000LL + kUnixEpochIn100ns);
    FILETIME utcFile{static_cast<DWORD>(ticks & 0xffffffff), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    if (!FileTimeToSystemTime(&utcFile, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return false;
    }
    result = {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
    return true;
}

std::error_code appendLine(const std::filesystem::path& file, std::string_view header,
                           std::string_view line) {
    // Append access alone: each write lands whole at the end, whatever other writers do.
    const HANDLE handle = CreateFileW(file.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size)) {
        const std::error_code error = lastError();
        CloseHandle(handle);
        return error;
    }
    std::string bytes;
    if (size.QuadPart == 0) {
        bytes.append(header).append("\n");
    } else if (!endsWithLineEnd(handle, size.QuadPart)) {
        bytes.append("!\n");
    }
    bytes.append(line);
    std::error_code error;
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        error = lastError();
    } else if (written != bytes.size()) {
        error = std::make_error_code(std::errc::no_space_on_device);
    } else if (!FlushFileBuffers(handle)) {
        error = lastError();
    }
    if (!CloseHandle(handle) && !error) {
        error = lastError();
    }
    return error;
}

} // namespace quorvane::history::system
