#include "support/filereplace.h"

#include "support/failure.h"
#include "support/system.h"

#include <atomic>
#include <chrono>
#include <string>
#include <system_error>

namespace quorvane::support {

namespace fs = std::filesystem;

namespace {

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

} // namespace

fs::path system::temporaryNameFor(const fs::path& target, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const unsigned long process = processId();
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string suffix = ".~" + std::to_string(process) + "-" + std::to_string(counter++) +
                               "-" + std::to_string(attempt) + "-" + std::to_string(now % 1000000) +
                               ".tmp";
    fs::path name = target.filename();
    name += suffix;
    return target.parent_path() / name;
}

void replaceFile(const fs::path& path, std::string_view bytes, FileAccess access) {
    checkName(path);
    system::replaceFile(resolvedTarget(path), bytes, access);
}

void appendFile(const fs::path& path, std::string_view bytes) {
    checkName(path);
    system::appendFile(path, bytes);
}

} // namespace quorvane::support
