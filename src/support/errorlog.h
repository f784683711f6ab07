#pragma once

#include <filesystem>
#include <string_view>

#include "support/clock.h"
#include "support/failure.h"
#include "support/localetexts.h"

namespace quorvane::support {

// The error log "LarkspurstationError.log" in the current folder (or in `folder`).
class ErrorLog {
public:
    static constexpr std::string_view kFileName = "LarkspurstationError.log";

    ErrorLog(Clock& clock, const LocaleTexts& locale, std::filesystem::path folder = {});

    // Appends the two-line entry for `failure` at statement `line` of `location` (".Epoch2Date"),
    // CR LF line ends, creating the file when missing. Raises a file failure when it cannot.
    void LogError(const Failure& failure, int line, std::string_view location);

    std::filesystem::path path() const;

private:
    Clock& m_clock;
    const LocaleTexts& m_locale;
    std::filesystem::path m_folder;
};

} // namespace quorvane::support
