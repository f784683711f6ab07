#include "support/clock.h"

#include "support/system.h"

#include <chrono>
#include <ctime>

namespace quorvane::support {

std::uint32_t SystemClock::tickCount() {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(elapsed.count()));
}

CalendarTime SystemClock::localNow() {
    std::tm local{};
    if (!system::localTime(std::time(nullptr), local)) {
        return CalendarTime{};
    }
    return CalendarTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                        local.tm_hour,        local.tm_min,     local.tm_sec};
}

} // namespace quorvane::support
