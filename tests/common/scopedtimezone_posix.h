#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace quorvane::testing {

// Sets the process's time zone (TZ) until the end of the scope. (Windows takes its zone from the
// system.)
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* previous = std::getenv("TZ")) {
            m_previous = previous;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (m_previous) {
            setenv("TZ", m_previous->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> m_previous;
};

} // namespace quorvane::testing
