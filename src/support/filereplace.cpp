#include "support/filereplace.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <system_error>

#include "support/failure.h"
#include "support/win32.h"

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvane::support {

namespace fs = std::filesystem;

namespace {

// A name for the temporary file next to `target` that no other call uses at the same time.
fs::path temporaryNameFor(const fs::path& target, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const auto process = static_cast<unsigned long>(GetCurrentProcessId());
#else
    const auto process = static_cast<unsigned long>(getpid());
#endif
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string suffix = ".~" + std::to_string(process) + "-" +
                               std::to_string(counter++) + "-" + std::to_string(attempt) + "-" +
                               std::to_string(now % 1000000) + ".tmp";
    fs::path name = target.filename();
    name += suffix;
    return target.parent_path() / name;
}

// Symbolic links are followed so that the file they name is replaced, not the link.
fs::path resolvedTarget(const fs::path& path) {
    std::error_code error;
    if (fs::is_symlink(path, error)) {
        fs::path real = fs::canonical(path, error);
        if (!error) {
            return real;
        }
    }
    return path;
}

void checkName(const fs::path& path) {
    if (path.empty() || !path.has_filename()) {
        raise(errors::kBadFileName);
    }
}

constexpr unsigned kTemporaryAttempts = 100;

#ifdef _WIN32

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

[[noreturn]] void raiseSystemError(DWORD error) { raise(failureNumberForSystemError(error)); }

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
    HANDLE file = CreateFileW(target.c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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

void replaceFileOnce(const fs::path& target, std::string_view bytes, FileAccess access) {
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

void appendFileOnce(const fs::path& path, std::string_view bytes) {
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

#else

int failureNumberForSystemError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return errors::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return errors::kPermissionDenied;
    case ENOSPC:
    case EDQUOT:
        return errors::kDiskFull;
    case ENAMETOOLONG:
        return errors::kBadFileName;
    case EIO:
        return errors::kDeviceIoError;
    default:
        return errors::kPathFileAccessError;
    }
}

[[noreturn]] void raiseSystemError(int error) { raise(failureNumberForSystemError(error)); }

// Writes all of `bytes`; the errno of a failed write, else 0.
int writeAll(int file, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(file, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// Makes the rename itself durable; a folder that cannot be synced changes nothing for readers.
void syncFolder(const fs::path& folder) {
    const int handle = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle >= 0) {
        ::fsync(handle);
        ::close(handle);
    }
}

// Writes all of `bytes`, syncs them to the disk and closes the file; the first errno, else 0.
int writeSyncClose(int file, std::string_view bytes) {
    int error = writeAll(file, bytes);
    if (error == 0 && ::fsync(file) != 0) {
        error = errno;
    }
    if (::close(file) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

// Truncates the existing file and writes `bytes` into it; the file keeps its inode, its
// other names and its permissions.
void rewriteInPlace(const fs::path& target, std::string_view bytes) {
    const int file = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (file < 0) {
        raiseSystemError(errno);
    }
    if (const int error = writeSyncClose(file, bytes); error != 0) {
        raiseSystemError(error);
    }
}

void replaceFileOnce(const fs::path& target, std::string_view bytes, FileAccess access) {
    // A file the user may not write stays as it is, as it would when rewritten in place.
    if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) {
        raiseSystemError(errno);
    }
    struct stat existing {};
    const bool isFile = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    // An owner-only file is always made afresh: the file it replaces may be readable by others.
    const bool mayRewriteInPlace = access == FileAccess::Default && isFile;
    if (mayRewriteInPlace && existing.st_nlink > 1) {
        // A rename would part this name from the file's other names.
        rewriteInPlace(target, bytes);
        return;
    }
    const mode_t mode = access == FileAccess::OwnerOnly ? 0600 : 0666;
    int file = -1;
    fs::path temporary;
    for (unsigned attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        temporary = temporaryNameFor(target, attempt);
        file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (file >= 0 || errno != EEXIST) {
            break;
        }
    }
    if (file < 0) {
        const int refused = errno;
        // A folder the user may not add files to (or a name with no room for the temporary
        // file's suffix) would otherwise leave the file stale for good.
        if (mayRewriteInPlace &&
            (refused == EACCES || refused == EPERM || refused == ENAMETOOLONG)) {
            rewriteInPlace(target, bytes);
            return;
        }
        raiseSystemError(refused);
    }
    if (mayRewriteInPlace) {
        // The new content keeps the permissions the user gave the file.
        ::fchmod(file, existing.st_mode & 07777);
    }
    int error = writeSyncClose(file, bytes);
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
        if (error == EPERM && mayRewriteInPlace) {
            // A shared folder with the sticky bit (as /tmp) lets no one rename over a file
            // that someone else owns, however writable the file is.
            ::unlink(temporary.c_str());
            rewriteInPlace(target, bytes);
            return;
        }
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        raiseSystemError(error);
    }
    syncFolder(target.parent_path());
}

void appendFileOnce(const fs::path& path, std::string_view bytes) {
    const int file = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (file < 0) {
        raiseSystemError(errno);
    }
    int error = writeAll(file, bytes);
    if (::close(file) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        raiseSystemError(error);
    }
}

#endif

} // namespace

void replaceFile(const fs::path& path, std::string_view bytes, FileAccess access) {
    checkName(path);
    replaceFileOnce(resolvedTarget(path), bytes, access);
}

void appendFile(const fs::path& path, std::string_view bytes) {
    checkName(path);
    appendFileOnce(path, bytes);
}

} // namespace quorvane::support
