// Replacing and appending files through the POSIX calls.
#include "support/failure.h"
#include "support/system.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::support {

namespace fs = std::filesystem;

namespace {

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

[[noreturn]] void raiseSystemError(int error) {
    raise(failureNumberForSystemError(error));
}

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

} // namespace

unsigned long system::processId() {
    return static_cast<unsigned long>(getpid());
}

void system::replaceFile(const fs::path& target, std::string_view bytes, FileAccess access) {
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

void system::appendFile(const fs::path& path, std::string_view bytes) {
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

} // namespace quorvane::support
