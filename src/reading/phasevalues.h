#pragma once

#include "reading/shownreading.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace quorvane::reading {

// The phase table's current and voltage columns: GetVolts, GetPFs and GetAmps with their
// per-cycle counters, and the second meter's power factors kept from cycle to cycle.
class PhaseValues {
public:
    // Sets VoltsCount, PFCount and AmpsCount to 0; the power factors stay.
    void resetCounters();

    // Each raises its counter first (kOverflow beyond 32767, leaving it at 32767), then reads
    // the entry's value; a value that is not a number raises kTypeMismatch and changes nothing.
    void GetVolts(std::string_view currentItem, ShownReading& boxes);
    void GetPFs(std::string_view currentItem);
    void GetAmps(std::string_view currentItem, ShownReading& boxes);

    // GridPF1 to GridPF3 for `phase` 1 to 3; 0 for any other phase.
    double gridPF(int phase) const;

private:
    std::int16_t VoltsCount = 0;
    std::int16_t PFCount = 0;
    std::int16_t AmpsCount = 0;
    std::array<double, 3> GridPF{};
};

} // namespace quorvane::reading
