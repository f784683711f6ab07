#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "support/failure.h"
#include "support/localetexts.h"

namespace quorvane::support {

// Shows a calendar time as "2025-02-22 19:22:58" in test failures.
inline void PrintTo(const CalendarTime& time, std::ostream* out) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second);
    *out << text;
}

} // namespace quorvane::support

namespace quorvane::testing {

// The failure number raised by `call`, or 0 when it returns normally.
template <class Call>
int failureNumberOf(Call&& call) {
    try {
        call();
    } catch (const support::RunTimeError& error) {
        return error.failure().number;
    }
    return 0;
}

// Makes `folder` the current folder until the end of the scope.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::filesystem::path& folder)
        : m_previous(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~CurrentFolder() { std::filesystem::current_path(m_previous); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::filesystem::path m_previous;
};

#ifndef _WIN32
// Takes write permission away from `folder`; false (permission given back) when the user may
// write there all the same, as root may.
inline bool makeReadOnly(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    const auto probe = folder / "probe";
    std::error_code error;
    if (std::FILE* file = std::fopen(probe.c_str(), "w")) {
        std::fclose(file);
        fs::remove(probe, error);
        fs::permissions(folder, fs::perms::owner_all);
        return false;
    }
    return true;
}

// Runs `action` in a child process as an ordinary user and tells whether it returned true.
// Root writes wherever it likes, so permission bits only hold without it: as root, the child
// becomes nobody and `folder` (with all it holds) is handed to nobody first.
inline bool runUnprivileged(const std::filesystem::path& folder,
                            const std::function<bool()>& action) {
    constexpr uid_t kNobody = 65534;
    if (::geteuid() == 0) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            if (::lchown(entry.path().c_str(), kNobody, kNobody) != 0) {
                return false;
            }
        }
        if (::lchown(folder.c_str(), kNobody, kNobody) != 0) {
            return false;
        }
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(2);
        }
        ::_exit(action() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif

// The names in a folder, sorted.
inline std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace quorvane::testing
