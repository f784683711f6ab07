#pragma once

#include <cstdint>

#include "support/localetexts.h"

namespace quorvane::support {

// The time sources of the program.
class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds since an arbitrary start, wrapping modulo 2^32.
    virtual std::uint32_t tickCount() = 0;
    // The local date and time now.
    virtual CalendarTime localNow() = 0;
};

// The platform's clocks.
class SystemClock final : public Clock {
public:
    std::uint32_t tickCount() override;
    CalendarTime localNow() override;
};

// What the platform says of the local time zone, in the form of GetTimeZoneInformation:
// return code 0 (no daylight-saving rules), 1 (standard time), 2 (daylight time) or another
// value (failure), and Bias in minutes with UTC = local time + Bias.
struct ZoneInformation {
    std::uint32_t returnCode = 0;
    std::int32_t bias = 0;

    bool operator==(const ZoneInformation&) const = default;
};

// Where the local time-zone information comes from.
class ZoneSource {
public:
    virtual ~ZoneSource() = default;

    virtual ZoneInformation zoneInformation() = 0;
};

// GetTimeZoneInformation on Windows; the C library's local-time offset elsewhere.
class SystemZoneSource final : public ZoneSource {
public:
    ZoneInformation zoneInformation() override;
};

} // namespace quorvane::support
