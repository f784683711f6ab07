#pragma once

// A legacy 8-bit locale for the tests that run the program in one (POSIX only).

#include "common/testdoubles.h"

#include <cstdlib>
#include <locale.h>
#include <optional>
#include <string>

namespace quorvane::testing {

// The locale "de_DE.ISO-8859-1": the system's own when it has it; otherwise made by localedef
// (from Debian's `locales` package) into a temporary folder, which LOCPATH then has to name for
// the C library to find it. No root rights needed, nothing of the system changed.
class LegacyLocale {
public:
    static constexpr const char* kName = "de_DE.ISO-8859-1";

    LegacyLocale() {
        if (installed()) {
            m_ready = true;
            return;
        }
        const std::string command =
            "localedef -i de_DE -f ISO-8859-1 '" + (m_folder / kName).string() + "' 2>&1";
        m_problem = "localedef failed (is Debian's locales package installed?): " + command;
        // localedef's status 1 means warnings only; the check below tells whether it worked.
        if (std::system(command.c_str()) == -1) {
            return;
        }
        m_locpath = m_folder.path().string();
        const std::optional<std::string> previous = variable("LOCPATH");
        ::setenv("LOCPATH", m_locpath.c_str(), 1);
        m_ready = installed();
        restore("LOCPATH", previous);
    }

    // Whether the locale can be used; problem() says why not.
    bool ready() const { return m_ready; }
    const std::string& problem() const { return m_problem; }
    // What LOCPATH must be for the locale to be found; empty when the system has it.
    const std::string& locpath() const { return m_locpath; }

    // Puts the locale into this process's environment (LC_ALL and, when needed, LOCPATH) for
    // the life of the returned object, as a user's session would have it.
    class InEnvironment {
    public:
        explicit InEnvironment(const LegacyLocale& locale)
            : m_lcAll(variable("LC_ALL")), m_locpath(variable("LOCPATH")) {
            ::setenv("LC_ALL", kName, 1);
            if (!locale.locpath().empty()) {
                ::setenv("LOCPATH", locale.locpath().c_str(), 1);
            }
        }
        ~InEnvironment() {
            restore("LC_ALL", m_lcAll);
            restore("LOCPATH", m_locpath);
        }
        InEnvironment(const InEnvironment&) = delete;
        InEnvironment& operator=(const InEnvironment&) = delete;

    private:
        std::optional<std::string> m_lcAll;
        std::optional<std::string> m_locpath;
    };

private:
    static bool installed() {
        const locale_t made = ::newlocale(LC_ALL_MASK, kName, locale_t{});
        if (made == locale_t{}) {
            return false;
        }
        ::freelocale(made);
        return true;
    }
    static std::optional<std::string> variable(const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }
    static void restore(const char* name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }

    TempDir m_folder;
    std::string m_locpath;
    std::string m_problem;
    bool m_ready = false;
};

} // namespace quorvane::testing
