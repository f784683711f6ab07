// The local time and appending lines through the C library and the POSIX calls.
#include "history/historysystem.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::history::system {

namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// Whether the file's last byte is a line end; an empty file counts as one.
bool endsWithLineEnd(int file, off_t size) {
    char last = '\n';
    return size == 0 || ::pread(file, &last, 1, size - 1) != 1 || last == '\n';
}

} // namespace

bool localTime(std::int64_t when, LocalTime& result) {
    const auto time = static_cast<std::time_t>(when);
    std::tm local{};
    if (::localtime_r(&time, &local) == nullptr) {
        return false;
    }
    result = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
              local.tm_hour,        local.tm_min,     local.tm_sec};
    return true;
}

std::error_code appendLine(const std::filesystem::path& file, std::string_view header,
                           std::string_view line) {
    const int handle = ::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (handle < 0) {
        return lastError();
    }
    struct stat status {};
    std::string bytes;
    if (::fstat(handle, &status) != 0) {
        const std::error_code error = lastError();
        ::close(handle);
        return error;
    }
    if (status.st_size == 0) {
        bytes.append(header).append("\n");
    } else if (!endsWithLineEnd(handle, status.st_size)) {
        bytes.append("!\n");
    }
    bytes.append(line);
    // One write: O_APPEND puts it whole at the end, whatever other writers do meanwhile.
    ssize_t written = -1;
    do {
        written = ::write(handle, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    std::error_code error;
    if (written < 0) {
        error = lastError();
    } else if (static_cast<std::size_t>(written) != bytes.size()) {
        error = std::make_error_code(std::errc::no_space_on_device);
    } else if (::fsync(handle) != 0) {
        error = lastError();
    }
    if (::close(handle) != 0 && !error) {
        error = lastError();
    }
    return error;
}

} // namespace quorvane::history::system
