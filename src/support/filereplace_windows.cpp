// Replacing and appending files through the Windows API.
#include "support/failure.h"
#include "support/system.h"

#include <algorithm>
#include <windows.h>

namespace quorvane::support {

namespace fs = std::filesystem;

namespace {

int failureNumberForSystemError(DWORD error) {
    switch (error) {
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
        return errors::kPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return errors::kPermissionDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return errors::kDiskFull;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return errors::kBadFileName;
    case ERROR_NOT_READY:
    case ERROR_CRC:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
        return errors::kDeviceIoError;
    default:
        return errors::kPathFileAccessError;
    }
}

[[noreturn]] void raiseSystemError(DWORD error) {
    raise(failureNumberForSystemError(error));
}

// Writes all of `bytes`; the last error code when a write fails.
DWORD writeAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) {
            return GetLastError();
        }
        bytes.remove_prefix(written);
    }
    return ERROR_SUCCESS;
}

// Writes all of `bytes`, flushes them to the disk and closes the file; the first error code.
DWORD writeFlushClose(HANDLE file, std::string_view bytes) {
    DWORD error = writeAll(file, bytes);
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file)) {
        error = GetLastError();
    }
    if (!CloseHandle(file) && error == ERROR_SUCCESS) {
        error = GetLastError();
    }
    return error;
}

// The number of names the existing file at `target` has; 0 when it cannot be told.
DWORD linkCountOf(const fs::path& target) {
    HANDLE file =
        CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const DWORD links =
        GetFileInformationByHandle(file, &information) ? information.nNumberOfLinks : 0;
    CloseHandle(file);
    return links;
}

bool isExistingFile(const fs::path& target) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Truncates the existing file and writes `bytes` into it; the file keeps its name and links.
void rewriteInPlace(const fs::path& target, std::string_view bytes) {
    HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        raiseSystemError(GetLastError());
    }
    if (const DWORD error = writeFlushClose(file, bytes); error != ERROR_SUCCESS) {
        raiseSystemError(error);
    }
}

// A reader that holds the file open without delete sharing blocks the rename for as long as
// it reads; a few short tries ride that out without holding up the caller noticeably.
constexpr int kRenameAttempts = 5;
constexpr DWORD kRenamePauseMs = 20;

DWORD renameOver(const fs::path& temporary, const fs::path& target) {
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kRenameAttempts; ++attempt) {
        if (attempt > 0) {
            Sleep(kRenamePauseMs);
        }
        if (MoveFileExW(temporary.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return ERROR_SUCCESS;
        }
        error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
            error != ERROR_LOCK_VIOLATION) {
            break;
        }
    }
    return error;
}

} // namespace

unsigned long system::processId() {
    return static_cast<unsigned long>(GetCurrentProcessId());
}

void system::replaceFile(const fs::path& target, std::string_view bytes, FileAccess access) {
    const bool mayRewriteInPlace = access == FileAccess::Default && isExistingFile(target);
    if (mayRewriteInPlace && linkCountOf(target) > 1) {
        rewriteInPlace(target, bytes);
        return;
    }
    HANDLE file = INVALID_HANDLE_VALUE;
    fs::path temporary;
    for (unsigned attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        temporary = temporaryNameFor(target, attempt);
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD refused = GetLastError();
        if (mayRewriteInPlace &&
            (refused == ERROR_ACCESS_DENIED || refused == ERROR_FILENAME_EXCED_RANGE)) {
            rewriteInPlace(target, bytes);
            return;
        }
        raiseSystemError(refused);
    }
    DWORD error = writeFlushClose(file, bytes);
    if (error == ERROR_SUCCESS) {
        error = renameOver(temporary, target);
    }
    if (error != ERROR_SUCCESS) {
        DeleteFileW(temporary.c_str());
        raiseSystemError(error);
    }
}

void system::appendFile(const fs::path& path, std::string_view bytes) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        raiseSystemError(GetLastError());
    }
    DWORD error = writeAll(file, bytes);
    if (!CloseHandle(file) && error == ERROR_SUCCESS) {
        error = GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        raiseSystemError(error);
    }
}

} // namespace quorvane::support
