// The local time and the time zone from the Windows API.
#include "support/clock.h"
#include "support/system.h"

#include <windows.h>

namespace quorvane::support {

bool system::localTime(std::time_t when, std::tm& result) {
    return localtime_s(&result, &when) == 0;
}

ZoneInformation SystemZoneSource::zoneInformation() {
    TIME_ZONE_INFORMATION information{};
    const DWORD code = GetTimeZoneInformation(&information);
    return ZoneInformation{static_cast<std::uint32_t>(code),
                           static_cast<std::int32_t>(information.Bias)};
}

} // namespace quorvane::support
